// The login dialog, driven by keys as a user drives it.
#include "TestSupport.h"

#include "shell/frmLogin.h"
#include "shell/frmMain.h"

#include <QApplication>
#include <QLineEdit>

namespace {

class LoginTest : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        OpenDatabase();
    }
    void TearDown() override
    {
        delete dialog;
        ProgramFolderTest::TearDown();
    }
    // A fresh dialog on screen, as start-up shows it.
    void Open()
    {
        delete dialog;
        dialog = new frmLogin();
        dialog->show();
        dialog->activateWindow();
        QApplication::processEvents();
    }
    void AddUser(const QString &name, const QString &password)
    {
        DataAccess.AddNew(QStringLiteral("tblUsers"), QStringLiteral("UserID<<>>Passwd"),
                          QuoteSql(name) + QStringLiteral("<<>>") + QuoteSql(password), QStringLiteral("Id"),
                          QStringLiteral("<<>>"));
        StatementLog::Clear();
    }
    // Types the name, Enter, the password, Enter.
    void LogIn(const QString &name, const QString &password)
    {
        TypeInto(dialog->txtUserName, name);
        Press(dialog->txtUserName, Qt::Key_Return);
        TypeInto(dialog->txtPassword, password);
        Press(dialog->txtPassword, Qt::Key_Return);
    }
    QString LookupFor(const QString &quotedName, const QString &quotedPassword)
    {
        return QStringLiteral("Select * from tblUsers Where UserId=") + quotedName + QStringLiteral(" And Passwd=") +
               quotedPassword;
    }

    frmLogin *dialog = nullptr;
};

TEST_F(LoginTest, DialogStartsEmptyWithItsCaptionsAndMasksThePassword)
{
    Open();
    EXPECT_EQ(dialog->windowTitle(), "Login");
    EXPECT_EQ(dialog->txtUserName->text(), "");
    EXPECT_EQ(dialog->txtPassword->text(), "");
    const auto labels = dialog->findChildren<QLabel *>("lblLabels");
    ASSERT_EQ(labels.size(), 2);
    EXPECT_EQ(labels[0]->text(), "User Name");
    EXPECT_EQ(labels[1]->text(), "Password");
    EXPECT_EQ(dialog->txtPassword->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dialog->txtPassword->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr,
                                                       dialog->txtPassword),
              '*');
    EXPECT_EQ(dialog->focusWidget(), dialog->txtUserName);
}

TEST_F(LoginTest, EnterInTheNameBoxMovesOnAndMakesNoAttempt)
{
    Open();
    TypeInto(dialog->txtUserName, "sysop");
    Press(dialog->txtUserName, Qt::Key_Return);
    EXPECT_EQ(dialog->focusWidget(), dialog->txtPassword);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(Statements().isEmpty());
    EXPECT_EQ(boxes.Count(), 0);
}

TEST_F(LoginTest, BlankNameOrPasswordDoesNothing)
{
    Open();
    LogIn("   ", "quorvandelix");
    EXPECT_TRUE(dialog->isVisible());
    dialog->txtUserName->setText("sysop");
    dialog->txtPassword->setText("  ");
    Press(dialog->txtPassword, Qt::Key_Return);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(boxes.Count(), 0);
    EXPECT_TRUE(Statements().isEmpty());
    EXPECT_EQ(CurrentUserId, "");
}

TEST_F(LoginTest, MasterLoginOpensTheMainFrameForSysop)
{
    Open();
    LogIn("sysop", "quorvandelix");
    EXPECT_EQ(CurrentUserId, "sysop");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(Statements().isEmpty()) << "the master login does not consult tblUsers";
    ASSERT_TRUE(frmMain::IsOpen());
    frmMain *frame = frmMain::Instance();
    EXPECT_EQ(frame->windowTitle(), "Quillmark v1.0 DEMO :: sysop");
    EXPECT_TRUE(frame->mnuAddUser->isEnabled());
    EXPECT_FALSE(frame->mnuMainApplication->isEnabled());
}

TEST_F(LoginTest, StoredUserLogsInUnderTheNameAsStoredWhateverTheCaseTyped)
{
    AddUser("Ann", "Secret");
    Open();
    LogIn("aNN", "Secret");
    EXPECT_EQ(Statements(), QStringList{LookupFor("'aNN'", "'Secret'")});
    EXPECT_EQ(CurrentUserId, "Ann");
    ASSERT_TRUE(frmMain::IsOpen());
    EXPECT_EQ(frmMain::Instance()->windowTitle(), "Quillmark v1.0 DEMO :: Ann");
    EXPECT_TRUE(frmMain::Instance()->mnuMainApplication->isEnabled());
    EXPECT_FALSE(frmMain::Instance()->mnuAddUser->isEnabled());
}

TEST_F(LoginTest, WrongPasswordIsRefusedWithTheTextSelectedAndNeverBlocks)
{
    AddUser("ann", "Secret");
    Open();
    for (int attempt = 0; attempt < 5; ++attempt) {
        boxes.Expect();
        dialog->txtPassword->clear();
        dialog->txtUserName->setText("ann");
        TypeInto(dialog->txtPassword, attempt % 2 ? "secret" : "Secret ");  // case and blanks count
        Press(dialog->txtPassword, Qt::Key_Return);
        ASSERT_EQ(boxes.Count(), attempt + 1);
        const ui::MessageBoxRequest &box = boxes.Shown().back();
        EXPECT_EQ(box.prompt, "Invalid Password, try again!");
        EXPECT_EQ(box.title, "Login");
        EXPECT_EQ(box.icon, ui::Icon::Exclamation);
        EXPECT_EQ(box.buttons, ui::Buttons::OKOnly);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->focusWidget(), dialog->txtPassword);
        EXPECT_EQ(dialog->txtPassword->selectedText(), dialog->txtPassword->text());
        EXPECT_EQ(dialog->txtUserName->text(), "ann");
    }
    // Typing replaces the selected password.
    TypeInto(dialog->txtPassword, "Secret");
    EXPECT_EQ(dialog->txtPassword->text(), "Secret");
    Press(dialog->txtPassword, Qt::Key_Return);
    EXPECT_EQ(CurrentUserId, "ann");
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(LoginTest, MasterNameInAnotherCaseOrWithABlankIsLookedUpLikeAnyName)
{
    Open();
    boxes.Expect();
    LogIn("SysOp", "quorvandelix");
    boxes.Expect();
    dialog->txtUserName->setText(" sysop");
    Press(dialog->txtPassword, Qt::Key_Return);
    EXPECT_EQ(boxes.Count(), 2);
    EXPECT_EQ(Statements(), (QStringList{LookupFor("'SysOp'", "'quorvandelix'"),
                                         LookupFor("' sysop'", "'quorvandelix'")}));
    EXPECT_EQ(CurrentUserId, "");
    EXPECT_FALSE(frmMain::IsOpen());
}

TEST_F(LoginTest, NameWithAQuoteIsLookedUpSafely)
{
    AddUser("O'Neil", "pw'1");
    Open();
    LogIn("O'Neil", "pw'1");
    EXPECT_EQ(Statements(), QStringList{LookupFor("'O''Neil'", "'pw''1'")});
    EXPECT_EQ(CurrentUserId, "O'Neil");
    // A name built to break out of the quotes finds nobody.
    Open();
    boxes.Expect();
    LogIn("x' Or '1'='1", "x' Or '1'='1");
    EXPECT_EQ(boxes.Count(), 1);
    EXPECT_EQ(CurrentUserId, "O'Neil");
}

TEST_F(LoginTest, EscapeEndsTheProgram)
{
    Open();
    TypeInto(dialog->txtUserName, "ann");
    Press(dialog->txtUserName, Qt::Key_Escape);
    EXPECT_EQ(endProgramCalls, 1);
    Press(dialog->txtPassword, Qt::Key_Escape);
    EXPECT_EQ(endProgramCalls, 2);
}

TEST_F(LoginTest, WithoutADatabaseOnlyTheMasterLoginWorks)
{
    ResetProcessState();  // as after a failed start-up: the connection stays closed
    AppTitle = QString::fromLatin1(kAppTitle);
    Open();
    boxes.Expect();
    LogIn("ann", "Secret");
    EXPECT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Shown()[0].prompt, "Invalid Password, try again!");
    dialog->txtUserName->setText("sysop");
    dialog->txtPassword->setText("quorvandelix");
    Press(dialog->txtPassword, Qt::Key_Return);
    EXPECT_EQ(CurrentUserId, "sysop");
    EXPECT_TRUE(frmMain::IsOpen());
}

}  // namespace
