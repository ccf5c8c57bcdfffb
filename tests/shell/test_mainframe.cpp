// Start-up and the main frame: menus, their rules for the master and ordinary users, and the
// windows they open.
#include "TestSupport.h"

#include "shell/MyFunMain.h"
#include "shell/frmAbout.h"
#include "shell/frmLogin.h"
#include "shell/frmMain.h"
#include "shell/frmUser.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

namespace {

class MainFrameTest : public ProgramFolderTest {
protected:
    // Start-up as the program runs it, with the login dialog answered by script.
    void StartAndLogIn(const QString &name, const QString &password)
    {
        modals.Then([=](QDialog &d) {
            auto &login = static_cast<frmLogin &>(d);
            TypeInto(login.txtUserName, name);
            Press(login.txtUserName, Qt::Key_Return);
            TypeInto(login.txtPassword, password);
            Press(login.txtPassword, Qt::Key_Return);
        });
        Main();
        ASSERT_TRUE(frmMain::IsOpen());
        frame = frmMain::Instance();
    }
    void StoreUser(const QString &name, const QString &password)
    {
        OpenDatabase();
        DataAccess.AddNew(QStringLiteral("tblUsers"), QStringLiteral("UserID<<>>Passwd"),
                          QuoteSql(name) + QStringLiteral("<<>>") + QuoteSql(password), QStringLiteral("Id"),
                          QStringLiteral("<<>>"));
        ResetProcessState();
    }

    ScriptedModals modals;
    frmMain *frame = nullptr;
};

TEST_F(MainFrameTest, MasterLoginAtStartUpShowsTheFrameWithTheAddUserMenu)
{
    StartAndLogIn("sysop", "quorvandelix");
    EXPECT_EQ(modals.Titles(), QStringList{"Login"});
    EXPECT_EQ(boxes.Count(), 0);
    EXPECT_TRUE(SharedConnection.IsOpen());
    EXPECT_EQ(AppTitle, "Quillmark v1.0 DEMO");
    EXPECT_EQ(frame->windowTitle(), "Quillmark v1.0 DEMO :: sysop");
    EXPECT_TRUE(frame->mnuAddUser->isEnabled());
    EXPECT_FALSE(frame->mnuMainApplication->isEnabled());
    EXPECT_EQ(frame->Label2->text(), "Quillmark v1.0 DEMO");
    EXPECT_TRUE(QFontInfo(frame->Label2->font()).fixedPitch());
}

TEST_F(MainFrameTest, MenuBarHasItsCaptionsShortcutsAndOrder)
{
    StartAndLogIn("sysop", "quorvandelix");
    QMenuBar *bar = frame->menuBar();
    ASSERT_EQ(bar->actions().size(), 2);
    EXPECT_EQ(bar->actions()[0]->text(), "&File");
    EXPECT_EQ(bar->actions()[1]->text(), "&About");

    QStringList file;
    for (QAction *a : frame->mnuFile->actions())
        file << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(file, (QStringList{"&Login New User", "&Main Application", "-", "Options", "-", "&Quit"}));
    EXPECT_EQ(frame->mnuOptions->actions(), QList<QAction *>{frame->mnuAddUser});
    EXPECT_EQ(frame->mnuAddUser->text(), "&Add User");

    QStringList about;
    for (QAction *a : frame->mnuAbout->actions())
        about << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(about, (QStringList{"&Online Documentation", frame->mnuAboutVisit->text(), "-", "&About..."}));
    EXPECT_TRUE(frame->mnuAboutVisit->text().contains("www.quillmark.example"));

    EXPECT_EQ(frame->mnuLoginUser->shortcut(), QKeySequence("Ctrl+L"));
    EXPECT_EQ(frame->mnuMainApplication->shortcut(), QKeySequence("Ctrl+W"));
    EXPECT_EQ(frame->mnuQuit->shortcut(), QKeySequence("Ctrl+Q"));
    EXPECT_EQ(frame->mnuAboutHelp->shortcut(), QKeySequence("F1"));
    EXPECT_EQ(frame->mnuAboutVisit->shortcut(), QKeySequence("F6"));
    EXPECT_EQ(frame->mnuAboutAbout->shortcut(), QKeySequence("F4"));
    for (const char *name : {"mnuFile", "mnuOptions", "mnuAbout"})
        EXPECT_NE(frame->findChild<QMenu *>(name), nullptr) << name;
    for (const char *name : {"mnuLoginUser", "mnuMainApplication", "f1", "mnuAddUser", "f2", "mnuQuit",
                             "mnuAboutHelp", "mnuAboutVisit", "mnuAboutsep2", "mnuAboutAbout"})
        EXPECT_NE(frame->findChild<QAction *>(name), nullptr) << name;
}

TEST_F(MainFrameTest, MissingDatabaseGivesOneErrorBoxAndTheMasterLoginStillWorks)
{
    ASSERT_TRUE(QFile::remove(DatabasePath()));
    boxes.Expect();
    StartAndLogIn("sysop", "quorvandelix");
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Shown()[0].title, "Error");
    EXPECT_EQ(boxes.Shown()[0].icon, ui::Icon::Critical);
    EXPECT_TRUE(boxes.Shown()[0].prompt.contains("qmk.dat"));
    EXPECT_FALSE(QFile::exists(DatabasePath())) << "a missing database is never made by the program";
    EXPECT_EQ(frame->windowTitle(), "Quillmark v1.0 DEMO :: sysop");
}

TEST_F(MainFrameTest, LoginDialogClosedAtStartUpLeavesNoWindow)
{
    modals.Then([](QDialog &d) { d.close(); });
    Main();
    EXPECT_FALSE(frmMain::IsOpen());
    EXPECT_EQ(CurrentUserId, "");
}

TEST_F(MainFrameTest, OrdinaryUsersGetTheLedgerAndAStoredSysopInOtherCaseIsOrdinary)
{
    StoreUser("SYSOP", "pw");
    StartAndLogIn("SYSOP", "pw");
    EXPECT_EQ(CurrentUserId, "SYSOP");
    EXPECT_EQ(frame->windowTitle(), "Quillmark v1.0 DEMO :: SYSOP");
    EXPECT_TRUE(frame->mnuMainApplication->isEnabled());
    EXPECT_FALSE(frame->mnuAddUser->isEnabled());

    modals.Then([](QDialog &d) { EXPECT_EQ(d.objectName(), "frmMainMenu"); });
    frame->mnuMainApplication->trigger();
    EXPECT_EQ(modals.Opened(), 2);
}

TEST_F(MainFrameTest, ReLoginSwitchesUserAndAbandoningItLeavesAnEmptyUser)
{
    StoreUser("ann", "a");
    StartAndLogIn("sysop", "quorvandelix");

    modals.Then([](QDialog &d) {
        EXPECT_EQ(CurrentUserId, "") << "the user is forgotten before the dialog shows";
        auto &login = static_cast<frmLogin &>(d);
        login.txtUserName->setText("ann");
        login.txtPassword->setText("a");
        Press(login.txtPassword, Qt::Key_Return);
    });
    frame->mnuLoginUser->trigger();
    EXPECT_TRUE(frmMain::IsOpen());
    EXPECT_EQ(frame->windowTitle(), "Quillmark v1.0 DEMO :: ann");
    EXPECT_TRUE(frame->mnuMainApplication->isEnabled());
    EXPECT_FALSE(frame->mnuAddUser->isEnabled());

    modals.Then([](QDialog &d) { d.close(); });
    frame->mnuLoginUser->trigger();
    EXPECT_EQ(frame->windowTitle(), "Quillmark v1.0 DEMO :: ");
    EXPECT_TRUE(frame->mnuMainApplication->isEnabled());
    EXPECT_FALSE(frame->mnuAddUser->isEnabled());
    EXPECT_EQ(endProgramCalls, 0);
}

TEST_F(MainFrameTest, EscapeInTheReLoginDialogEndsTheProgram)
{
    StartAndLogIn("sysop", "quorvandelix");
    modals.Then([](QDialog &d) { Press(static_cast<frmLogin &>(d).txtUserName, Qt::Key_Escape); });
    frame->mnuLoginUser->trigger();
    EXPECT_EQ(endProgramCalls, 1);
}

TEST_F(MainFrameTest, QuitHelpAndWebSiteGoThroughThePlatform)
{
    StartAndLogIn("sysop", "quorvandelix");
    frame->mnuAboutHelp->trigger();
    frame->mnuAboutVisit->trigger();
    EXPECT_EQ(opened, (QStringList{Folder() + "/Help/index.html", QString::fromLatin1(kMakerWebAddress)}));
    EXPECT_EQ(boxes.Count(), 0) << "a missing help page is not reported";
    EXPECT_TRUE(frmMain::IsOpen());
    frame->mnuQuit->trigger();
    EXPECT_EQ(endProgramCalls, 1);
}

TEST_F(MainFrameTest, ShortcutKeysReachTheirMenuItems)
{
    StartAndLogIn("sysop", "quorvandelix");
    frame->activateWindow();
    QApplication::processEvents();
    if (!frame->isActiveWindow())
        GTEST_SKIP() << "this platform does not activate windows";
    modals.Then([](QDialog &d) { EXPECT_EQ(d.objectName(), "frmAbout"); });
    QTest::keyClick(frame, Qt::Key_F4);
    EXPECT_EQ(modals.Opened(), 2);
    // The offscreen platform does not hand activation back when a modal window closes.
    frame->activateWindow();
    QApplication::processEvents();
    QTest::keyClick(frame, Qt::Key_W, Qt::ControlModifier);  // disabled for the master user
    EXPECT_EQ(modals.Opened(), 2);
    QTest::keyClick(frame, Qt::Key_F1);
    EXPECT_EQ(opened.size(), 1);
    QTest::keyClick(frame, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(endProgramCalls, 1);
}

TEST_F(MainFrameTest, AddUserWindowOpensForTheMasterAndAUserAddedThereCanLogIn)
{
    StartAndLogIn("sysop", "quorvandelix");
    modals.Then([](QDialog &d) {
        auto &entry = static_cast<frmUser &>(d);
        TypeInto(entry.txtUserName, "bob");
        TypeInto(entry.txtPassword, "b0b");
        QTest::mouseClick(entry.cmdSave, Qt::LeftButton);
    });
    frame->mnuAddUser->trigger();
    EXPECT_EQ(modals.Titles().last(), "User Entry");
    EXPECT_EQ(Scalar("Select UserId From tblUsers Where Id=1"), "bob");

    modals.Then([](QDialog &d) {
        auto &login = static_cast<frmLogin &>(d);
        login.txtUserName->setText("bob");
        login.txtPassword->setText("b0b");
        Press(login.txtPassword, Qt::Key_Return);
    });
    frame->mnuLoginUser->trigger();
    EXPECT_EQ(frame->windowTitle(), "Quillmark v1.0 DEMO :: bob");
}

TEST_F(MainFrameTest, AboutBoxShowsTitleVersionAndClosesWithEnterOrEscape)
{
    StartAndLogIn("sysop", "quorvandelix");
    for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
        modals.Then([key](QDialog &d) {
            auto &about = static_cast<frmAbout &>(d);
            EXPECT_EQ(about.windowTitle(), "About " + about.lblTitle->text());
            EXPECT_EQ(about.lblTitle->text(), "Quillmark v1.0 DEMO");
            EXPECT_EQ(about.lblVersion->text(), "Version 1.0.17");
            EXPECT_EQ(about.lblDescription->text(), "Designed to controle budget cost of projects...");
            EXPECT_EQ(about.lblDisclaimer->text().count("\r\n"), 1);
            EXPECT_EQ(about.cmdOK->text(), "OK");
            Press(about.cmdOK, key);
            EXPECT_FALSE(about.isVisible());
        });
        frame->mnuAboutAbout->trigger();
    }
    EXPECT_EQ(modals.Opened(), 3);
}

}  // namespace
