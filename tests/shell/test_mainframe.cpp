// Start-up and the main frame: menus, their rules for the master and ordinary users, and the
// windows they open.
#include "TestSupport.h"

#include "shell/MyFunMain.h"
#include "shell/frmAbout.h"
#include "shell/frmMain.h"

#include <QFile>
#include <QMenu>
#include <QMenuBar>

namespace {

class MainFrameTest : public ProgramFolderTest {
protected:
    // Start-up as the program runs it, with the login dialog answered by script.
    void StartAndLogIn()
    {
        ScriptLogin(modals, "sysop", "quorvandelix");
        Main();
        ASSERT_TRUE(frmMain::IsOpen());
        frame = frmMain::Instance();
    }
    // What the frame shows: its caption and which of the two guarded menu items are enabled.
    QString Shown() const
    {
        return frame->windowTitle() + (frame->mnuMainApplication->isEnabled() ? " +ledger" : "") +
               (frame->mnuAddUser->isEnabled() ? " +adduser" : "");
    }

    ScriptedModals modals;
    frmMain *frame = nullptr;
};

TEST_F(MainFrameTest, TheMasterGetsAddUserAndOthersTheLedgerEvenAStoredSysopInOtherCase)
{
    Scene("", {"tblUsers (Id,UserId,Passwd) VALUES (1,'SYSOP','pw'),(2,'ann','a')"});
    ResetProcessState();
    AppTitle.clear();  // start-up sets it
    StartAndLogIn();
    EXPECT_TRUE(SharedConnection.IsOpen());
    EXPECT_EQ(frame->Label2->text(), "Quillmark v1.0 DEMO");
    EXPECT_TRUE(QFontInfo(frame->Label2->font()).fixedPitch());
    EXPECT_EQ(Shown(), "Quillmark v1.0 DEMO :: sysop +adduser");
    // Logging in again through the menu; the user is forgotten before the dialog shows.
    const struct { const char *name, *password, *shown; } logins[] = {
        {"SYSOP", "pw", "Quillmark v1.0 DEMO :: SYSOP +ledger"},
        {"ann", "a", "Quillmark v1.0 DEMO :: ann +ledger"},
        {"sysop", "quorvandelix", "Quillmark v1.0 DEMO :: sysop +adduser"},
        {nullptr, nullptr, "Quillmark v1.0 DEMO ::  +ledger"},  // the dialog closed without a login
    };
    for (const auto &l : logins) {
        if (l.name)
            ScriptLogin(modals, l.name, l.password);
        else
            modals.Then([](QDialog &d) { d.close(); });
        frame->mnuLoginUser->trigger();
        EXPECT_EQ(Shown(), l.shown);
        const bool ledger = QString::fromLatin1(l.shown).endsWith("+ledger");
        modals.Then([ledger](QDialog &d) { EXPECT_EQ(d.objectName(), ledger ? "frmMainMenu" : "frmUser"); });
        const int before = modals.Opened();
        frame->mnuMainApplication->trigger();  // a disabled item does nothing
        frame->mnuAddUser->trigger();
        EXPECT_EQ(modals.Opened(), before + 1);
    }
    EXPECT_EQ(endProgramCalls, 0);
    EXPECT_TRUE(frmMain::IsOpen());
}

TEST_F(MainFrameTest, MenusHaveTheirCaptionsAndShortcutsAndReachThePlatformAndTheAboutBox)
{
    StartAndLogIn();
    QStringList items;
    for (QAction *top : frame->menuBar()->actions()) {
        items << top->text() + ":";
        for (QAction *a : top->menu()->actions()) {
            items << (a->isSeparator() ? QStringLiteral("-") : a->text() + " " + a->shortcut().toString());
            for (QAction *sub : a->menu() ? a->menu()->actions() : QList<QAction *>())
                items << ">" + sub->text();
        }
    }
    EXPECT_EQ(items, (QStringList{"&File:", "&Login New User Ctrl+L", "&Main Application Ctrl+W", "-", "Options ",
                                  ">&Add User", "-", "&Quit Ctrl+Q", "&About:", "&Online Documentation F1",
                                  "&Visit www.quillmark.example F6", "-", "&About... F4"}));
    frame->mnuAboutHelp->trigger();
    frame->mnuAboutVisit->trigger();
    EXPECT_EQ(opened, (QStringList{Folder() + "/Help/index.html", "https://www.quillmark.example/"}));
    EXPECT_EQ(boxes.Count() + endProgramCalls, 0) << "a missing help page is not reported";
    for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
        modals.Then([key](QDialog &d) {
            auto &about = static_cast<frmAbout &>(d);
            EXPECT_EQ(QStringList({about.windowTitle(), about.lblTitle->text(), about.lblVersion->text(),
                                   about.lblDescription->text(), about.cmdOK->text()}),
                      QStringList({"About Quillmark v1.0 DEMO", "Quillmark v1.0 DEMO", "Version 1.0.17",
                                   "Designed to controle budget cost of projects...", "OK"}));
            EXPECT_EQ(about.lblDisclaimer->text().count("\r\n"), 1);
            Press(about.cmdOK, key);
            EXPECT_FALSE(about.isVisible());
        });
        frame->mnuAboutAbout->trigger();
    }
    EXPECT_EQ(modals.Opened(), 3);
    frame->mnuQuit->trigger();
    EXPECT_EQ(endProgramCalls, 1);
}

TEST_F(MainFrameTest, AMissingDatabaseIsReportedNeverMadeAndTheMasterLoginStillWorks)
{
    ASSERT_TRUE(QFile::remove(DatabasePath()));
    boxes.Expect();
    StartAndLogIn();
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_TRUE(boxes.Shown()[0].title == "Error" && boxes.Shown()[0].icon == ui::Icon::Critical);
    EXPECT_TRUE(boxes.Shown()[0].prompt.contains("qmk.dat"));
    EXPECT_FALSE(QFile::exists(DatabasePath()));
    EXPECT_EQ(frame->windowTitle(), "Quillmark v1.0 DEMO :: sysop");
}

TEST_F(MainFrameTest, ALoginDialogClosedAtStartUpLeavesNoWindow)
{
    modals.Then([](QDialog &d) { d.close(); });
    Main();
    EXPECT_FALSE(frmMain::IsOpen());
    EXPECT_EQ(CurrentUserId, "");
}

}  // namespace
