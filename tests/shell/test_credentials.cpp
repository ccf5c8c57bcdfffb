// The login and user entry windows, driven by keys and clicks as a user drives them.
#include "TestSupport.h"

#include "shell/frmLogin.h"
#include "shell/frmMain.h"
#include "shell/frmUser.h"

#include <QApplication>
#include <QTest>

namespace {

class Credentials : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        OpenDatabase();
        Seed("INSERT INTO tblUsers (Id,UserId,Passwd) VALUES (1,'Ann','Secret'),(2,'O''Neil','pw''1')");
        Show(login);
        Show(entry);
    }
    void TearDown() override { delete login; delete entry; ProgramFolderTest::TearDown(); }
    // A fresh window on screen, as the program shows it.
    template <typename W>
    void Show(W *&w)
    {
        delete w;
        w = new W();
        w->show();
        QApplication::processEvents();
    }
    // Types the name, Enter, the password, Enter.
    void LogIn(const QString &name, const QString &password)
    {
        login->txtUserName->clear();
        login->txtPassword->clear();
        TypeInto(login->txtUserName, name);
        Press(login->txtUserName, Qt::Key_Return);
        TypeInto(login->txtPassword, password);
        Press(login->txtPassword, Qt::Key_Return);
    }
    void Save(const QString &name, const QString &password)
    {
        entry->txtUserName->clear();
        entry->txtPassword->clear();
        TypeInto(entry->txtUserName, name);
        TypeInto(entry->txtPassword, password);
        QTest::mouseClick(entry->cmdSave, Qt::LeftButton);
    }
    QStringList Users() { return Column("Select Id || ':' || UserId || ':' || Passwd From tblUsers Order by Id"); }
    // The one box shown since the last look, as "title: prompt (icon, buttons)".
    QString OneBox()
    {
        const char *const icons[] = {"none", "critical", "question", "exclamation", "information"};
        const char *const buttons[] = {"OK", "OK Cancel", "Yes No", "Yes No Cancel", "Retry Cancel"};
        const ui::MessageBoxRequest *b = boxes.Count() == 1 ? &boxes.Shown()[0] : nullptr;
        const QString seen = b ? b->title + ": " + b->prompt + " (" + icons[int(b->icon)] + ", " +
                                     buttons[int(b->buttons)] + ")" : QString();
        boxes.Forget();
        return seen;
    }

    frmLogin *login = nullptr;
    frmUser *entry = nullptr;
};

TEST_F(Credentials, BothWindowsStartEmptyWithTheirCaptionsAndMaskThePassword)
{
    const struct { QDialog *window; QLineEdit *name, *password; const char *title; } windows[] = {
        {login, login->txtUserName, login->txtPassword, "Login"},
        {entry, entry->txtUserName, entry->txtPassword, "User Entry"},
    };
    for (const auto &w : windows) {
        QStringList seen{w.window->windowTitle()};
        for (QLabel *l : w.window->findChildren<QLabel *>("lblLabels"))
            seen << l->text();
        EXPECT_EQ(seen << w.name->text() + w.password->text(), QStringList({w.title, "User Name", "Password", ""}));
        EXPECT_EQ(w.password->echoMode(), QLineEdit::Password);
        EXPECT_EQ(w.password->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, w.password), '*');
        EXPECT_EQ(w.window->focusWidget(), w.name) << w.title;
    }
    EXPECT_EQ(entry->cmdSave->toolTip() + "/" + entry->cmdCancel->toolTip(), "Save/Close");
    EXPECT_FALSE(entry->cmdSave->icon().isNull() || entry->cmdCancel->icon().isNull());
}

TEST_F(Credentials, ABlankNameOrPasswordDoesNothingInEitherWindow)
{
    const struct { const char *name, *password; } blanks[] = {{"   ", "quorvandelix"}, {"sysop", "  "}, {"", "x"}, {"Bo", ""}};
    for (const auto &b : blanks) {
        LogIn(b.name, b.password);
        Save(b.name, b.password);
        EXPECT_TRUE(login->isVisible() && entry->isVisible()) << b.name << "/" << b.password;
    }
    EXPECT_TRUE(Statements().isEmpty());
    EXPECT_EQ(CurrentUserId, "");
    EXPECT_EQ(Users().size(), 2);
}

TEST_F(Credentials, AGoodLoginOpensTheMainFrameUnderTheNameAsStored)
{
    const struct { const char *name, *password, *user, *lookup; } cases[] = {
        {"sysop", "quorvandelix", "sysop", nullptr},  // the master login does not consult tblUsers
        {"aNN", "Secret", "Ann", "Select * from tblUsers Where UserId='aNN' And Passwd='Secret'"},
        {"O'Neil", "pw'1", "O'Neil", "Select * from tblUsers Where UserId='O''Neil' And Passwd='pw''1'"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        StatementLog::Clear();
        CurrentUserId.clear();
        Show(login);
        LogIn(c.name, c.password);
        EXPECT_EQ(Statements(), c.lookup ? QStringList{c.lookup} : QStringList());
        EXPECT_EQ(CurrentUserId, c.user);
        EXPECT_FALSE(login->isVisible());
        EXPECT_EQ(login->result(), QDialog::Accepted);
        ASSERT_TRUE(frmMain::IsOpen());
        EXPECT_EQ(frmMain::Instance()->windowTitle(), QStringLiteral("Quillmark v1.0 DEMO :: ") + c.user);
    }
}

TEST_F(Credentials, KeysDriveTheDialogAndAWrongLoginIsRefusedWithThePasswordSelected)
{
    TypeInto(login->txtUserName, "sysop");
    Press(login->txtUserName, Qt::Key_Return);
    EXPECT_EQ(login->focusWidget(), login->txtPassword);
    EXPECT_TRUE(login->isVisible() && Statements().isEmpty());
    // The master name only in its exact form; case and blanks count in passwords.
    const struct { const char *name, *password; } wrong[] = {
        {"SysOp", "quorvandelix"}, {" sysop", "quorvandelix"}, {"sysop ", "quorvandelix"}, {"nobody", "Secret"},
        {"x' Or '1'='1", "x' Or '1'='1"}, {"Ann", "Secret "}, {"Ann", "secret"},
    };
    for (const auto &w : wrong) {
        SCOPED_TRACE(w.name);
        boxes.Expect();
        LogIn(w.name, w.password);
        EXPECT_EQ(OneBox(), "Login: Invalid Password, try again! (exclamation, OK)");
        EXPECT_TRUE(login->isVisible());
        EXPECT_EQ(login->focusWidget(), login->txtPassword);
        EXPECT_EQ(login->txtPassword->selectedText(), w.password);
        EXPECT_EQ(login->txtUserName->text(), w.name);
    }
    EXPECT_EQ(CurrentUserId, "");
    EXPECT_FALSE(frmMain::IsOpen());
    TypeInto(login->txtPassword, "Secret");  // typing replaces the selected password
    Press(login->txtPassword, Qt::Key_Return);
    EXPECT_EQ(CurrentUserId, "Ann");
    EXPECT_FALSE(login->isVisible());
    Show(login);
    Press(login->txtPassword, Qt::Key_Escape);
    Press(login->txtUserName, Qt::Key_Escape);
    EXPECT_EQ(endProgramCalls, 2);
}

TEST_F(Credentials, WithoutADatabaseOnlyTheMasterLogsInAndNoUserIsAdded)
{
    ResetProcessState();  // as after a failed start-up: the connection stays closed
    boxes.Expect();
    LogIn("Ann", "Secret");
    EXPECT_EQ(OneBox(), "Login: Invalid Password, try again! (exclamation, OK)");
    boxes.Expect();
    Save("bob", "b");  // a name that cannot be checked counts as taken
    EXPECT_EQ(OneBox(), "Quillmark v1.0 DEMO: User Already Exists ! (critical, OK)");
    EXPECT_TRUE(entry->isVisible());
    LogIn("sysop", "quorvandelix");
    EXPECT_EQ(CurrentUserId, "sysop");
    OpenDatabase();
    EXPECT_EQ(Users().size(), 2);
}

TEST_F(Credentials, NewUsersAreStoredAsTypedUnderTheNextId)
{
    const struct { const char *name, *password, *stored; } cases[] = {
        {" Bob ", "p w", "3: Bob :p w"}, {"Cy'a", "it's<<>>mine", "4:Cy'a:it's<<>>mine"},
    };
    for (const auto &c : cases) {
        Show(entry);
        StatementLog::Clear();
        Save(c.name, c.password);
        EXPECT_FALSE(entry->isVisible());
        EXPECT_EQ(entry->result(), QDialog::Accepted);
        EXPECT_EQ(Users().last(), c.stored);
    }
    EXPECT_EQ(Statements(), (QStringList{"Select * from tblUsers where UserId='Cy''a'", "Select max(Id) From tblUsers",
                                         "INSERT INTO tblUsers (Id,UserID,Passwd) VALUES (4,'Cy''a','it''s<<>>mine')"}));
    Show(entry);
    TypeInto(entry->txtUserName, "dora");
    TypeInto(entry->txtPassword, "d");
    Press(entry->txtPassword, Qt::Key_Return);  // Enter saves
    EXPECT_EQ(Users().last(), "5:dora:d");
}

TEST_F(Credentials, ATakenNameInAnyCaseIsRefusedAndCloseDiscards)
{
    for (const char *again : {"Ann", "ANN", "o'neil"}) {
        boxes.Expect();
        Save(again, "two");
        EXPECT_EQ(OneBox(), "Quillmark v1.0 DEMO: User Already Exists ! (critical, OK)") << again;
        EXPECT_TRUE(entry->isVisible());
        EXPECT_EQ(entry->txtUserName->text() + "/" + entry->txtPassword->text(), QString(again) + "/two");
    }
    QTest::mouseClick(entry->cmdCancel, Qt::LeftButton);
    EXPECT_FALSE(entry->isVisible());
    EXPECT_EQ(entry->result(), QDialog::Rejected);
    EXPECT_EQ(Users(), QStringList({"1:Ann:Secret", "2:O'Neil:pw'1"}));
}

}  // namespace
