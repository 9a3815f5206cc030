// The game's sound start-up and its play calls, in a working directory of
// our own: the nine clips load in order, the first failure ends the loading,
// a second start uses what the first made, and without an audio device the
// game starts silent.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "capture_internal.h"
#include "play/game_filter.h"
#include "sound/game_sound.h"

namespace fs = std::filesystem;

namespace {

bool NoBackend()
{
    const char* drivers = std::getenv("ALSOFT_DRIVERS");
    return drivers != nullptr && std::strcmp(drivers, "none") == 0;
}

// A working directory with sounds/ holding the game's clips but `missing`.
class GameSoundStart : public ::testing::Test {
protected:
    void SetUp() override
    {
        home = fs::current_path();
        dir = fs::temp_directory_path() / ("orvex_game_sound_" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "sounds");
        fs::current_path(dir);
    }
    void TearDown() override
    {
        GameSoundState().Release();
        fs::current_path(home);
        fs::remove_all(dir);
    }
    void CopyClips(int missing = 0)
    {
        for (int n = 1; n <= 9; ++n)
            if (n != missing)
                fs::copy_file(fs::path(ORVEX_SOUNDS_DIR) / ("sound" + std::to_string(n) + ".wav"),
                              dir / "sounds" / ("sound" + std::to_string(n) + ".wav"));
    }
    static bool Playing(int clip)
    {
        CSoundClip* c = GameSoundState().clips[clip - 1];
        DWORD status = 0;
        return c != nullptr && SUCCEEDED(c->Buffer(0)->GetStatus(&status)) &&
               (status & DSBSTATUS_PLAYING);
    }

    fs::path home, dir;
    CGameFilter game;
};

}  // namespace

TEST_F(GameSoundStart, LoadsTheNineClipsAndLoopsTheBackground)
{
    if (NoBackend())
        GTEST_SKIP() << "no audio device";
    CopyClips();
    ASSERT_TRUE(game.StartSound());
    const GameSound& sound = GameSoundState();
    ASSERT_NE(sound.device, nullptr);
    for (int n = 1; n <= 9; ++n) EXPECT_NE(sound.clips[n - 1], nullptr) << n;
    game.PlayClip(9, DSBPLAY_LOOPING, -1500);
    EXPECT_TRUE(Playing(9));
    game.PlayClip(7, 0, -500);
    EXPECT_TRUE(Playing(7));

    // A second start keeps the device and the clips, and the loop that is
    // sounding goes on alone.
    const CSoundDevice* device = sound.device;
    CSoundClip* loop = sound.clips[8];
    ASSERT_TRUE(game.StartSound());
    EXPECT_EQ(sound.device, device);
    EXPECT_EQ(sound.clips[8], loop);
    game.PlayClip(9, DSBPLAY_LOOPING, -1500);
    EXPECT_TRUE(Playing(9));
}

TEST_F(GameSoundStart, WithSound5MissingClips1To4LoadAnd5To9DoNot)
{
    if (NoBackend())
        GTEST_SKIP() << "no audio device";
    CopyClips(5);
    EXPECT_FALSE(game.StartSound());
    const GameSound& sound = GameSoundState();
    for (int n = 1; n <= 9; ++n) EXPECT_EQ(sound.clips[n - 1] != nullptr, n < 5) << n;
    // Playing clips that never loaded does nothing, nor do numbers out of range.
    for (int n = -1; n <= 10; ++n) game.PlayClip(n, 0, -500);
    EXPECT_FALSE(Playing(9));

    // Once the file is there, the next start loads the rest.
    fs::copy_file(fs::path(ORVEX_SOUNDS_DIR) / "sound5.wav", dir / "sounds" / "sound5.wav");
    CSoundClip* first = sound.clips[0];
    EXPECT_TRUE(game.StartSound());
    EXPECT_EQ(sound.clips[0], first);
    for (int n = 1; n <= 9; ++n) EXPECT_NE(sound.clips[n - 1], nullptr) << n;
}

TEST_F(GameSoundStart, WithoutAnAudioDeviceTheGameStartsSilent)
{
    if (!NoBackend())
        GTEST_SKIP() << "needs OpenAL without backends (ALSOFT_DRIVERS=none)";
    CopyClips();
    EXPECT_FALSE(game.StartSound());
    EXPECT_EQ(GameSoundState().device, nullptr);
    for (int n = 1; n <= 9; ++n) game.PlayClip(n, 0, -500);

    orvexSetImageGeometry(352, 288);
    game.FilterStart();
    EXPECT_EQ(game.gameState, kAttract);
    EXPECT_NE(game.maskPlane, nullptr);  // the start went on past the sound
    game.FilterStop();
}
