#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "game_fixture.h"
#include "shell/setup_params.h"

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace

TEST(SetupParamsFile, MissingFileGivesDefaultsWhichSaveAsTheKnownLine)
{
    ScratchDirectory dir;
    SetupParams p;
    p.yThresh = 77;  // must be replaced by the default
    EXPECT_EQ(ReadSetupFile(p), SetupFileRead::Missing);
    EXPECT_EQ(p.yThresh, 50);
    EXPECT_FLOAT_EQ(p.ButtonSensitivity(), 0.1f);
    ASSERT_TRUE(WriteSetupFile(p));
    EXPECT_EQ(ReadAll("SetupParams.txt"), "20 10 50 10 10 0 0 0 0 0 60 0 0");
}

TEST(SetupParamsFile, RoundTripKeepsEveryField)
{
    ScratchDirectory dir;
    SetupParams out{.buttonThresh = 31,
                    .buttonSensitivityPercent = 29,
                    .yThresh = 41,
                    .uThresh = 12,
                    .vThresh = 13,
                    .dilateIterations = 2,
                    .erode = 1,
                    .dilate = 1,
                    .multipleShapes = 1,
                    .autoReset = 1,
                    .resetTime = 90,
                    .flip = 1,
                    .cleanSize = 3};
    ASSERT_TRUE(WriteSetupFile(out));
    EXPECT_EQ(ReadAll("SetupParams.txt"), "31 29 41 12 13 2 1 1 1 1 90 1 3");
    SetupParams in;
    EXPECT_EQ(ReadSetupFile(in), SetupFileRead::Complete);
    EXPECT_EQ(FormatSetupLine(in), FormatSetupLine(out));
    // 29 percent is 0.29 in single precision.
    EXPECT_EQ(in.ButtonSensitivity(), 29 * 0.01f);
    EXPECT_NEAR(in.ButtonSensitivity(), 0.29f, 1e-7f);
}

// Short and malformed files: the numbers read so far are taken, the fields
// after the first unreadable one keep their values, and the sensitivity is 0
// when the file stops before it.
TEST(SetupParamsFile, ShortAndMalformedFilesKeepTheRest)
{
    struct Case {
        const char* text;
        const char* expected;  // starting from "1 2 3 4 5 6 7 8 9 10 11 12 13"
    } cases[] = {
        {"", "1 0 3 4 5 6 7 8 9 10 11 12 13"},
        {"20", "20 0 3 4 5 6 7 8 9 10 11 12 13"},
        {"20 15 60", "20 15 60 4 5 6 7 8 9 10 11 12 13"},
        {"20 x 60", "20 0 3 4 5 6 7 8 9 10 11 12 13"},
        {"20 15 60 abc 1 1", "20 15 60 4 5 6 7 8 9 10 11 12 13"},
        {"\n 20\t15\r\n60 -4 +5 6 7 8 9 10 11 12 13 99", "20 15 60 -4 5 6 7 8 9 10 11 12 13"},
        {"99999999999 -99999999999", "2147483647 -2147483648 3 4 5 6 7 8 9 10 11 12 13"},
        {"- 5", "1 0 3 4 5 6 7 8 9 10 11 12 13"},
    };
    ScratchDirectory dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        WriteAll("SetupParams.txt", c.text);
        SetupParams p{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
        ReadSetupFile(p);
        EXPECT_EQ(FormatSetupLine(p), c.expected);
    }
}

TEST(SetupParamsFile, FailedSaveLeavesTheOldFileWhole)
{
    ScratchDirectory dir;
    WriteAll("SetupParams.txt", "1 2 3 4 5 6 7 8 9 10 11 12 13");
    // A directory that cannot be written: the temporary file cannot be made.
    std::filesystem::create_directory("locked");
    WriteAll("locked/SetupParams.txt", "old");
    std::filesystem::permissions(
        "locked", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    const bool root = geteuid() == 0;  // root writes anywhere
    if (!root) {
        EXPECT_FALSE(WriteSetupFile(SetupParams{}, "locked/SetupParams.txt"));
    }
    std::filesystem::permissions("locked", std::filesystem::perms::owner_all);
    if (!root) {
        EXPECT_EQ(ReadAll("locked/SetupParams.txt"), "old");
    }
    // No temporary file is left behind by a successful save either.
    ASSERT_TRUE(WriteSetupFile(SetupParams{}));
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(".")) files += e.is_regular_file();
    EXPECT_EQ(files, 1);
}

// The game filter reads the file when it starts: a 29 in the second field is
// the sensitivity 0.29, and the live switches are left alone.
TEST(SetupParamsFile, GameFilterStartReadsTheFile)
{
    ScratchDirectory dir;
    WriteAll("SetupParams.txt", "20 29 44 10 10 0 0 0 1 0 60 1 0");
    orvexSetImageGeometry(64, 48);
    auto game = std::make_unique<CGameFilter>();
    game->showPlain = 1;
    game->FilterStart();
    EXPECT_EQ(game->buttonSensitivity.load(), 29 * 0.01f);
    EXPECT_EQ(game->yThresh.load(), 44);
    EXPECT_EQ(game->multipleShapes.load(), 1);
    EXPECT_EQ(game->flip.load(), 1);
    EXPECT_EQ(game->showPlain.load(), 1);
    game->FilterStop();
}
