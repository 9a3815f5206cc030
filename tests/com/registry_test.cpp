#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "com/registry.h"
#include "temp_registry.h"

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& text, mode_t mode = 0600)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    chmod(path.c_str(), mode);
}

RegKey SampleTree()
{
    RegKey root;
    RegKey* server = root.Create("HKEY_CLASSES_ROOT\\CLSID\\{X}\\InprocServer32");
    server->defaultValue = "/opt/with \"quotes\" and \\ back\\slashes/m.ax";
    server->SetString("ThreadingModel", "Both");
    server->SetString("Odd", std::string("tab\there, line\nend, bell\a, ctrl\x1f"));
    server->SetString("Empty", "");
    root.Create("HKEY_CLASSES_ROOT\\CLSID\\{X}")->defaultValue = "Name";
    root.Create("HKEY_CLASSES_ROOT\\Empty leaf");
    root.Create("HKEY_CLASSES_ROOT\\Numbers")->SetDword("Merit", 0x200000);
    root.Create("HKEY_CLASSES_ROOT\\Numbers")->SetDword("Max", 0xFFFFFFFF);
    return root;
}

void ExpectSampleTree(const RegKey& root)
{
    const RegKey* server = root.Find("HKEY_CLASSES_ROOT\\CLSID\\{X}\\InprocServer32");
    ASSERT_NE(server, nullptr);
    ASSERT_TRUE(server->defaultValue);
    EXPECT_EQ(*server->defaultValue, "/opt/with \"quotes\" and \\ back\\slashes/m.ax");
    ASSERT_NE(server->GetString("ThreadingModel"), nullptr);
    EXPECT_EQ(*server->GetString("ThreadingModel"), "Both");
    ASSERT_NE(server->GetString("Odd"), nullptr);
    EXPECT_EQ(*server->GetString("Odd"), "tab\there, line\nend, bell\a, ctrl\x1f");
    ASSERT_NE(server->GetString("Empty"), nullptr);
    EXPECT_EQ(*server->GetString("Empty"), "");
    EXPECT_EQ(*root.Find("HKEY_CLASSES_ROOT\\CLSID\\{X}")->defaultValue, "Name");
    EXPECT_NE(root.Find("HKEY_CLASSES_ROOT\\Empty leaf"), nullptr);
    EXPECT_EQ(root.Find("HKEY_CLASSES_ROOT\\Numbers")->GetDword("Merit"), 0x200000u);
    EXPECT_EQ(root.Find("HKEY_CLASSES_ROOT\\Numbers")->GetDword("Max"), 0xFFFFFFFFu);
}

TEST(Registry, TextRoundTripKeepsEveryKeyAndValue)
{
    RegKey parsed;
    EXPECT_EQ(RegistryParse(RegistrySerialize(SampleTree()), &parsed), 0);
    ExpectSampleTree(parsed);
    EXPECT_EQ(RegistrySerialize(parsed), RegistrySerialize(SampleTree()));
}

TEST(Registry, NamesIgnoreLetterCase)
{
    RegKey root = SampleTree();
    const RegKey* key = root.Find("hkey_classes_root\\clsid\\{x}\\INPROCSERVER32");
    ASSERT_NE(key, nullptr);
    EXPECT_NE(key->GetString("threadingmodel"), nullptr);
}

TEST(Registry, InvalidKeyPathsAreRefused)
{
    RegKey root;
    for (const char* path : {"", "a\\\\b", "a\\", "\\a", "a]b", "a\nb"})
        EXPECT_EQ(root.Create(path), nullptr) << path;
    EXPECT_EQ(root.Create(std::string(256, 'k')), nullptr);
    EXPECT_NE(root.Create(std::string(255, 'k')), nullptr);
}

TEST(Registry, DeleteRemovesTheWholeSubtree)
{
    RegKey root = SampleTree();
    EXPECT_TRUE(root.Delete("HKEY_CLASSES_ROOT\\CLSID\\{X}"));
    EXPECT_EQ(root.Find("HKEY_CLASSES_ROOT\\CLSID\\{X}\\InprocServer32"), nullptr);
    EXPECT_NE(root.Find("HKEY_CLASSES_ROOT\\CLSID"), nullptr);
    EXPECT_FALSE(root.Delete("HKEY_CLASSES_ROOT\\CLSID\\{X}"));
    EXPECT_FALSE(root.Delete("Nothing\\Here"));
}

// Damaged text: the good lines are read, the bad ones (and the values under a
// bad section line) skipped, and nothing crashes.
TEST(Registry, DamagedTextYieldsItsGoodLines)
{
    struct Case {
        const char* name;
        std::string text;
        int skipped;
        bool hasServer;
    };
    const std::string good = "[K\\S]\n@=\"/m.ax\"\n";
    const Case cases[] = {
        {"good", good, 0, true},
        {"no header, CRLF", "[K\\S]\r\n@=\"/m.ax\"\r\n", 0, true},
        {"value before any section", "@=\"x\"\n" + good, 1, true},
        {"unterminated section", "[K\\S\n@=\"/m.ax\"\n", 2, false},
        {"empty name in section", "[K\\\\S]\n@=\"/m.ax\"\n", 2, false},
        {"truncated string", "[K\\S]\n@=\"/m.a", 1, false},
        {"bad escape", "[K\\S]\n@=\"/m\\q.ax\"\n", 1, false},
        {"escaped NUL", "[K\\S]\n@=\"/m\\x00.ax\"\n", 1, false},
        {"raw control character", "[K\\S]\n@=\"/m\x01.ax\"\n", 1, false},
        {"junk after string", "[K\\S]\n@=\"/m.ax\" junk\n", 1, false},
        {"dword too long", "[K\\S]\n\"N\"=dword:123456789\n" + std::string("@=\"/m.ax\"\n"), 1, true},
        {"dword default value", "[K\\S]\n@=dword:1\n", 1, false},
        {"garbage lines", "\x7f" "ELF\x02\x01\n" + good + "=====\n\"\n[\n]\n", 5, true},
        {"NUL bytes", std::string("[K\\S]\n\0\0\0\n@=\"/m.ax\"\n", 20), 1, true},
        {"later good section wins back", "[K\\S\n@=\"bad\"\n" + good, 2, true},
    };
    for (const Case& c : cases) {
        RegKey root;
        EXPECT_EQ(RegistryParse(c.text, &root), c.skipped) << c.name;
        const RegKey* server = root.Find("K\\S");
        bool hasServer = server && server->defaultValue && *server->defaultValue == "/m.ax";
        EXPECT_EQ(hasServer, c.hasServer) << c.name;
    }
}

TEST(Registry, RandomBytesNeverCrashTheReader)
{
    std::mt19937 random(7);
    std::string base = RegistrySerialize(SampleTree());
    for (int round = 0; round < 300; ++round) {
        std::string text = base.substr(0, random() % (base.size() + 1));  // truncated
        for (int k = 0; k < 8; ++k)
            if (!text.empty())
                text[random() % text.size()] = static_cast<char>(random());
        RegKey root;
        RegistryParse(text, &root);
    }
}

TEST(Registry, SaveIsAtomicAndLoadReadsItBack)
{
    TempRegistry registry;
    ASSERT_EQ(RegistrySave(registry.File(), SampleTree()), S_OK);
    RegKey loaded;
    ASSERT_EQ(RegistryLoad(registry.File(), &loaded), S_OK);
    ExpectSampleTree(loaded);
    // Only the file itself is left: no temporary beside it.
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(registry.Folder()))
        entries += e.path().filename() != "registry";
    EXPECT_EQ(entries, 0);
    struct stat st;
    ASSERT_EQ(stat(registry.File().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);
}

TEST(Registry, SaveCreatesMissingFolders)
{
    TempRegistry registry;
    std::string deep = (registry.Folder() / "a" / "b" / "registry").string();
    ASSERT_EQ(RegistrySave(deep, SampleTree()), S_OK);
    RegKey loaded;
    EXPECT_EQ(RegistryLoad(deep, &loaded), S_OK);
}

TEST(Registry, FailedSaveKeepsTheOldFile)
{
    TempRegistry registry;
    ASSERT_EQ(RegistrySave(registry.File(), SampleTree()), S_OK);
    std::string before = ReadFile(registry.File());
    // A path whose folder is a file cannot be written.
    std::string blocked = (registry.Folder() / "registry" / "sub").string();
    EXPECT_TRUE(FAILED(RegistrySave(blocked, RegKey())));
    EXPECT_EQ(ReadFile(registry.File()), before);
}

TEST(Registry, MissingFileReadsAsEmpty)
{
    TempRegistry registry;
    RegKey root;
    EXPECT_EQ(RegistryLoad(registry.File(), &root), S_FALSE);
    EXPECT_TRUE(root.subkeys.empty());
}

TEST(Registry, FileOthersCouldWriteIsRefused)
{
    TempRegistry registry;
    const mode_t refused[] = {0620, 0602, 0666, 0660};
    for (mode_t mode : refused) {
        WriteFile(registry.File(), "[K\\S]\n@=\"/m.ax\"\n", mode);
        RegKey root;
        EXPECT_EQ(RegistryLoad(registry.File(), &root), E_ACCESSDENIED) << std::oct << mode;
        EXPECT_TRUE(root.subkeys.empty());
    }
    for (mode_t mode : {0600, 0644, 0400}) {
        WriteFile(registry.File(), "[K\\S]\n@=\"/m.ax\"\n", mode);
        RegKey root;
        EXPECT_EQ(RegistryLoad(registry.File(), &root), S_OK) << std::oct << mode;
    }
}

TEST(Registry, FileOfAnotherUserIsRefused)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give a file away";
    TempRegistry registry;
    WriteFile(registry.File(), "[K\\S]\n@=\"/m.ax\"\n");
    ASSERT_EQ(chown(registry.File().c_str(), 65534, 65534), 0);
    RegKey root;
    EXPECT_EQ(RegistryLoad(registry.File(), &root), E_ACCESSDENIED);
}

TEST(Registry, UpdateWritesOnlyWhenTheChangeSucceeds)
{
    TempRegistry registry;
    ASSERT_EQ(RegistryUpdate([](RegKey& root) {
                  root.Create("K")->SetString("v", "1");
                  return S_OK;
              }),
              S_OK);
    EXPECT_EQ(RegistryUpdate([](RegKey& root) {
                  root.Create("K")->SetString("v", "2");
                  return E_FAIL;
              }),
              E_FAIL);
    RegKey root;
    ASSERT_EQ(RegistryRead(&root), S_OK);
    EXPECT_EQ(*root.Find("K")->GetString("v"), "1");
}

TEST(Registry, PathComesFromTheEnvironment)
{
    struct Saved {
        const char* name;
        std::string value;
        bool set;
    };
    std::vector<Saved> saved;
    for (const char* name : {"ORVEX_REGISTRY", "XDG_CONFIG_HOME", "HOME"}) {
        const char* v = getenv(name);
        saved.push_back({name, v ? v : "", v != nullptr});
    }
    setenv("ORVEX_REGISTRY", "/tmp/r", 1);
    setenv("XDG_CONFIG_HOME", "/x", 1);
    setenv("HOME", "/h", 1);
    EXPECT_EQ(RegistryFilePath(), "/tmp/r");
    unsetenv("ORVEX_REGISTRY");
    EXPECT_EQ(RegistryFilePath(), "/x/orvex/registry");
    setenv("XDG_CONFIG_HOME", "relative", 1);  // invalid, ignored
    EXPECT_EQ(RegistryFilePath(), "/h/.config/orvex/registry");
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("HOME");
    EXPECT_EQ(RegistryFilePath(), "");
    for (const Saved& s : saved) {
        if (s.set)
            setenv(s.name, s.value.c_str(), 1);
        else
            unsetenv(s.name);
    }
}

}  // namespace
