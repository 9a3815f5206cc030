// The setup dialog's real widgets under a virtual display: what it shows,
// and what its buttons do to the live values and the file.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>

#include "game_fixture.h"
#include "screenshot.h"
#include "shell/setup_dialog.h"

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class SetupDialogTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        if (!gtk_init_check(nullptr, nullptr))
            GTEST_SKIP() << "no display";
        orvexSetImageGeometry(64, 48);
        game = std::make_unique<CGameFilter>();
        dialog = std::make_unique<SetupDialog>(*game);
    }

    // Opens the dialog and, once it shows, runs `act` on it; `act` ends it
    // by clicking "OK" or "Cancel".
    int Open(std::function<void()> act)
    {
        act_ = std::move(act);
        g_idle_add(
            [](gpointer self) {
                static_cast<SetupDialogTest*>(self)->act_();
                return G_SOURCE_REMOVE;
            },
            this);
        return dialog->Run();
    }

    std::string Text(int id) { return gtk_entry_get_text(GTK_ENTRY(dialog->Control(id))); }
    void Type(int id, const char* text)
    {
        gtk_entry_set_text(GTK_ENTRY(dialog->Control(id)), text);
    }
    bool Checked(int id)
    {
        return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(dialog->Control(id)));
    }
    void Toggle(int id, bool on)
    {
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(dialog->Control(id)), on);
    }
    void Click(int id) { gtk_button_clicked(GTK_BUTTON(dialog->Control(id))); }

    ScratchDirectory scratch;
    std::unique_ptr<CGameFilter> game;
    std::unique_ptr<SetupDialog> dialog;
    std::function<void()> act_;
};

}  // namespace

TEST_F(SetupDialogTest, WithoutAFileItShowsTheDefaults)
{
    std::map<int, std::string> shown;
    bool anyChecked = true;
    EXPECT_EQ(Open([&] {
                  for (int id : {kSetupY, kSetupU, kSetupV, kSetupDilIterations, kSetupSensitivity,
                                 kSetupButtonThresh, kSetupCleanSize, kSetupResetTime})
                      shown[id] = Text(id);
                  anyChecked = false;
                  for (int id : {kSetupDilate, kSetupErode, kSetupFlip, kSetupMultipleShapes,
                                 kSetupAutoReset, kSetupShowMask, kSetupShowPlain})
                      anyChecked |= Checked(id);
                  SaveScreenshot(dialog->Window(), "setup-dialog.png");
                  Click(kSetupCancel);
              }),
              kSetupCancel);
    EXPECT_EQ(shown, (std::map<int, std::string>{{kSetupY, "50"},
                                                 {kSetupU, "10"},
                                                 {kSetupV, "10"},
                                                 {kSetupDilIterations, "0"},
                                                 {kSetupSensitivity, "10"},
                                                 {kSetupButtonThresh, "20"},
                                                 {kSetupCleanSize, "0"},
                                                 {kSetupResetTime, "60"}}));
    EXPECT_FALSE(anyChecked);
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(dialog->Control(kSetupMultipleShapes))),
                 "Mutltiple shapes");
}

TEST_F(SetupDialogTest, SavedSensitivityIsReloadedAndUsed)
{
    Open([&] {
        Type(kSetupSensitivity, "29");
        Click(kSetupSave);
        Click(kSetupOk);
    });
    EXPECT_EQ(ReadAll("SetupParams.txt"), "20 29 50 10 10 0 0 0 0 0 60 0 0");
    game->buttonSensitivity = 0.5f;
    std::string reopened;
    Open([&] {
        reopened = Text(kSetupSensitivity);
        Click(kSetupOk);
    });
    EXPECT_EQ(reopened, "29");
    EXPECT_EQ(game->buttonSensitivity.load(), 29 * 0.01f);
}

TEST_F(SetupDialogTest, ApplyThenCancelRevertsOnReopening)
{
    Open([&] {
        Click(kSetupSave);
        Click(kSetupCancel);
    });  // the defaults on disk
    Open([&] {
        Type(kSetupY, "77");
        Click(kSetupApply);
        EXPECT_EQ(game->yThresh.load(), 77);  // live at once
        Click(kSetupCancel);
    });
    EXPECT_EQ(game->yThresh.load(), 77);  // Cancel changes nothing
    std::string shown;
    Open([&] {
        shown = Text(kSetupY);
        Click(kSetupCancel);
    });
    EXPECT_EQ(shown, "50");
    EXPECT_EQ(game->yThresh.load(), 50);  // reopening reverted the live value
}

TEST_F(SetupDialogTest, DisplaySwitchesAreNotKeptAcrossOpenings)
{
    Open([&] {
        Toggle(kSetupShowPlain, true);
        Click(kSetupOk);
    });
    EXPECT_EQ(game->showPlain.load(), 1);
    Open([&] { Click(kSetupOk); });
    EXPECT_EQ(game->showPlain.load(), 0);
}

TEST_F(SetupDialogTest, ResetRequestsABackgroundAndChangesNothing)
{
    Open([&] {
        game->backgroundRequested = 0;
        Type(kSetupY, "12");
        Click(kSetupReset);
        Click(kSetupCancel);
    });
    EXPECT_EQ(game->backgroundRequested.load(), 1);
    EXPECT_EQ(game->yThresh.load(), 50);
}

TEST_F(SetupDialogTest, TextThatIsNoNumberIsTakenAsZero)
{
    Open([&] {
        Type(kSetupY, "fifty");
        Type(kSetupU, "-3");
        Click(kSetupOk);
    });
    EXPECT_EQ(game->yThresh.load(), 0);
    EXPECT_EQ(game->uThresh.load(), 0);
    EXPECT_EQ(game->vThresh.load(), 10);
}

TEST(SetupFields, NumbersAreUnsignedAndAnythingElseIsZero)
{
    struct Case {
        const char* text;
        int value;
    } cases[] = {{"42", 42},
                 {" 7 ", 7},
                 {"", 0},
                 {"abc", 0},
                 {"-5", 0},
                 {"12x", 0},
                 {"4294967295", INT_MAX},
                 {"4294967296", 0},
                 {"99999999999999999999", 0}};
    for (const Case& c : cases) EXPECT_EQ(ParseUnsignedField(c.text), c.value) << c.text;
}
