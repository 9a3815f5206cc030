#include <gtest/gtest.h>

#include "com/guid.h"

namespace {

constexpr GUID kSample{0x4387FA20, 0x9A5D, 0x4981, {0xA3, 0xFE, 0x4F, 0xE9, 0xA0, 0xC6, 0xE6, 0x03}};

TEST(Guid, PrintsBracedUpperCase)
{
    EXPECT_EQ(GuidToString(kSample), "{4387FA20-9A5D-4981-A3FE-4FE9A0C6E603}");
    EXPECT_EQ(GuidToString(GUID_NULL), "{00000000-0000-0000-0000-000000000000}");
}

TEST(Guid, ReadsWhatItPrintsInEitherCase)
{
    GUID g{};
    ASSERT_TRUE(GuidFromString("{4387FA20-9A5D-4981-A3FE-4FE9A0C6E603}", &g));
    EXPECT_EQ(g, kSample);
    GUID lower{};
    ASSERT_TRUE(GuidFromString("{4387fa20-9a5d-4981-a3fe-4fe9a0c6e603}", &lower));
    EXPECT_EQ(lower, kSample);
}

TEST(Guid, RefusesEverythingButTheBracedForm)
{
    const char* bad[] = {
        "",
        "4387FA20-9A5D-4981-A3FE-4FE9A0C6E603",      // no braces
        "{4387FA20-9A5D-4981-A3FE-4FE9A0C6E603",     // no closing brace
        "{4387FA20-9A5D-4981-A3FE-4FE9A0C6E603} ",   // trailing blank
        " {4387FA20-9A5D-4981-A3FE-4FE9A0C6E603}",   // leading blank
        "{4387FA20-9A5D-4981-A3FE4-FE9A0C6E603}",    // dash misplaced
        "{4387FA2G-9A5D-4981-A3FE-4FE9A0C6E603}",    // not a hex digit
        "{4387FA20-9A5D-4981-A3FE-4FE9A0C6E60}",     // one digit short
        "{4387FA20-9A5D-4981-A3FE-4FE9A0C6E6033}",   // one digit long
        "{+387FA20-9A5D-4981-A3FE-4FE9A0C6E603}",
    };
    for (const char* text : bad) {
        GUID g = kSample;
        EXPECT_FALSE(GuidFromString(text, &g)) << text;
        EXPECT_EQ(g, kSample) << "changed by " << text;
    }
    EXPECT_FALSE(GuidFromString("{4387FA20-9A5D-4981-A3FE-4FE9A0C6E603}", nullptr));
}

}  // namespace
