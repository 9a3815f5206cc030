// The program's options, and the choice of the demo camera that has to be
// made before the capture library lists its devices.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "capture_internal.h"
#include "com/com.h"
#include "devices.h"
#include "shell/command_line.h"

namespace {

CommandLine Parse(std::vector<std::string> args)
{
    args.insert(args.begin(), "orvex");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return ParseCommandLine(static_cast<int>(args.size()), argv.data());
}

bool AsksForDemo(std::vector<std::string> args)
{
    args.insert(args.begin(), "orvex");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return CommandLineAsksForDemo(static_cast<int>(args.size()), argv.data());
}

}  // namespace

TEST(CommandLine, OptionsAreRead)
{
    struct Case {
        std::vector<std::string> args;
        CommandLine::Action action;
        bool demo, headless;
        std::string record;
        long frames;
    } cases[] = {
        {{}, CommandLine::kRun, false, false, "", 0},
        {{"--demo"}, CommandLine::kRun, true, false, "", 0},
        {{"--headless", "--demo", "--frames", "300", "--record", "out.avi"},
         CommandLine::kRun,
         true,
         true,
         "out.avi",
         300},
        {{"--frames=5", "--record=a b.avi"}, CommandLine::kRun, false, false, "a b.avi", 5},
        {{"--record", "--demo"}, CommandLine::kRun, false, false, "--demo", 0},
        {{"--help"}, CommandLine::kHelp, false, false, "", 0},
        {{"-h"}, CommandLine::kHelp, false, false, "", 0},
        {{"--version"}, CommandLine::kVersion, false, false, "", 0},
        {{"--version", "--help"}, CommandLine::kHelp, false, false, "", 0},
        {{"--frames", "1000000000"}, CommandLine::kRun, false, false, "", 1000000000},
    };
    for (const Case& c : cases) {
        const CommandLine got = Parse(c.args);
        SCOPED_TRACE(::testing::PrintToString(c.args));
        EXPECT_EQ(got.action, c.action);
        EXPECT_EQ(got.demo, c.demo);
        EXPECT_EQ(got.headless, c.headless);
        EXPECT_EQ(got.record, c.record);
        EXPECT_EQ(got.frames, c.frames);
    }
}

TEST(CommandLine, WrongOptionsAreRefused)
{
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus"},
        {"demo"},
        {"-d"},
        {"--frames"},
        {"--frames", "0"},
        {"--frames", "-3"},
        {"--frames", "12x"},
        {"--frames", ""},
        {"--frames", "1000000001"},
        {"--frames", "99999999999999999999"},
        {"--record"},
        {"--record="},
        {"--demo=yes"},
        {"--help", "--bogus"},
    };
    for (const auto& args : cases) {
        const CommandLine got = Parse(args);
        EXPECT_EQ(got.action, CommandLine::kBad) << ::testing::PrintToString(args);
        EXPECT_FALSE(got.error.empty());
    }
}

TEST(CommandLine, TheEarlyDemoCheckAgreesWithTheParser)
{
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--demo"},
        {"--headless", "--demo"},
        {"--record", "--demo"},  // a file name, not the option
        {"--frames", "3", "--demo"},
        {"--record=x", "--demo"},
        {"--demonstrate"},
    };
    for (const auto& args : cases)
        EXPECT_EQ(AsksForDemo(args), Parse(args).demo) << ::testing::PrintToString(args);
    EXPECT_FALSE(CommandLineAsksForDemo(0, nullptr));
}

namespace {

std::vector<std::string> Entries(char** env)
{
    std::vector<std::string> out;
    for (char** e = env; e && *e; ++e) out.push_back(*e);
    return out;
}

}  // namespace

TEST(DemoCamera, EnvironmentHoldsOnlyTheDemoCamera)
{
    struct Case {
        std::vector<std::string> envp;
        std::vector<std::string> result;  // empty: no change needed
    } cases[] = {
        {{"HOME=/h"}, {"HOME=/h", "ORVEX_REAL_DEVICES=0", "ORVEX_DEMO_CAMERA=1"}},
        {{}, {"ORVEX_REAL_DEVICES=0", "ORVEX_DEMO_CAMERA=1"}},
        {{"ORVEX_VIRTUAL_DEVICES=/d", "A=1", "ORVEX_REAL_DEVICES=1", "ORVEX_DEMO_CAMERA=0"},
         {"A=1", "ORVEX_REAL_DEVICES=0", "ORVEX_DEMO_CAMERA=1"}},
        // Already the demo environment: no change, so no second restart.
        {{"A=1", "ORVEX_DEMO_CAMERA=1", "ORVEX_REAL_DEVICES=0"}, {}},
        {{"ORVEX_DEMO_CAMERA=1", "ORVEX_REAL_DEVICES=0", "ORVEX_VIRTUAL_DEVICES=/d"},
         {"ORVEX_REAL_DEVICES=0", "ORVEX_DEMO_CAMERA=1"}},
        {{"ORVEX_DEMO_CAMERA=1", "ORVEX_REAL_DEVICES=0", "ORVEX_DEMO_CAMERA=1"},
         {"ORVEX_REAL_DEVICES=0", "ORVEX_DEMO_CAMERA=1"}},
        {{"ORVEX_DEMO_SCRIPT=w.script"},
         {"ORVEX_DEMO_SCRIPT=w.script", "ORVEX_REAL_DEVICES=0", "ORVEX_DEMO_CAMERA=1"}},
    };
    for (Case& c : cases) {
        std::vector<char*> envp;
        for (std::string& e : c.envp) envp.push_back(e.data());
        envp.push_back(nullptr);
        char** env = DemoEnvironment(envp.data());
        EXPECT_EQ(Entries(env), c.result) << ::testing::PrintToString(c.envp);
        std::free(env);
    }
}

// The list that the library reads at load, read again here after the demo
// choice: the demo camera alone, whatever else the environment declared.
TEST(DemoCamera, IsTheOnlyDevice)
{
    const auto file = std::filesystem::temp_directory_path() / "orvex-shell-devices.txt";
    std::ofstream(file) << "name=Test Pattern; kind=pattern\nname=Other; kind=pattern\n";
    setenv("ORVEX_VIRTUAL_DEVICES", file.c_str(), 1);
    setenv("ORVEX_REAL_DEVICES", "1", 1);

    // What the restart under DemoEnvironment does to this process's list.
    char** env = DemoEnvironment(environ);
    ASSERT_NE(env, nullptr);
    unsetenv("ORVEX_VIRTUAL_DEVICES");
    for (const std::string& e : Entries(env))
        if (e.rfind("ORVEX_", 0) == 0)
            setenv(e.substr(0, e.find('=')).c_str(), e.substr(e.find('=') + 1).c_str(), 1);
    std::free(env);

    CoInitialize(nullptr);
    orvexEnumerateSources();
    EXPECT_EQ(orvexGetSourceCount(), 1);
    ASSERT_NE(orvexGetSourceName(0), nullptr);
    EXPECT_STREQ(orvexGetSourceName(0), "Demo Camera");
    EXPECT_EQ(orvexGetSourceName(1), nullptr);
    orvexFreeSources();
    CoUninitialize();
    std::filesystem::remove(file);
}
