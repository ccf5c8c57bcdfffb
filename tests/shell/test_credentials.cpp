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
        Scene("", {"tblUsers (Id,UserId,Passwd) VALUES (1,'Ann','Secret'),(2,'O''Neil','pw''1')"});
        Show(login);
        Show(entry);
    }
    void TearDown() override
    {
        login.reset();
        entry.reset();
        ProgramFolderTest::TearDown();
    }
    // A fresh window on screen, as the program shows it.
    template <typename W>
    static void Show(std::unique_ptr<W> &w)
    {
        w = std::make_unique<W>();
        w->show();
        QApplication::processEvents();
    }
    // Types the name and the password into a window, then Enter (login) or a click on Save.
    void Type(QLineEdit *name, QLineEdit *password, const QString &n, const QString &p)
    {
        name->clear();
        password->clear();
        TypeText(name, n);
        if (name == login->txtUserName)
            Press(name, Qt::Key_Return);
        TypeText(password, p);
        if (name == login->txtUserName)
            Press(password, Qt::Key_Return);
        else
            QTest::mouseClick(entry->cmdSave, Qt::LeftButton);
    }
    void LogIn(const QString &n, const QString &p) { Type(login->txtUserName, login->txtPassword, n, p); }
    void Save(const QString &n, const QString &p) { Type(entry->txtUserName, entry->txtPassword, n, p); }
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

    std::unique_ptr<frmLogin> login;
    std::unique_ptr<frmUser> entry;
};

TEST_F(Credentials, BothWindowsStartEmptyWithTheirCaptionsAndMaskThePassword)
{
    const struct { QDialog *window; QLineEdit *name, *password; const char *title; } windows[] = {
        {login.get(), login->txtUserName, login->txtPassword, "Login"},
        {entry.get(), entry->txtUserName, entry->txtPassword, "User Entry"},
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

// A blank name or password does nothing; the master logs in by his exact name without a lookup,
// others under the name as stored; anything else is refused with the password selected.
TEST_F(Credentials, LoginsAreLookedUpAndAWrongOneIsRefusedWithThePasswordSelected)
{
    const struct { const char *name, *password; } blanks[] = {{"   ", "quorvandelix"}, {"sysop", "  "}, {"", "x"}, {"Bo", ""}};
    for (const auto &b : blanks) {
        LogIn(b.name, b.password);
        Save(b.name, b.password);
        EXPECT_TRUE(login->isVisible() && entry->isVisible()) << b.name << "/" << b.password;
    }
    EXPECT_TRUE(Statements().isEmpty());
    EXPECT_EQ(login->focusWidget(), login->txtPassword);  // Enter in the name box moves on
    const struct { const char *name, *password; } wrong[] = {
        {"SysOp", "quorvandelix"}, {" sysop", "quorvandelix"}, {"sysop ", "quorvandelix"}, {"nobody", "Secret"},
        {"x' Or '1'='1", "x' Or '1'='1"}, {"Ann", "Secret "}, {"Ann", "secret"},
    };
    for (const auto &w : wrong) {
        boxes.Expect();
        LogIn(w.name, w.password);
        EXPECT_EQ(OneBox(), "Login: Invalid Password, try again! (exclamation, OK)") << w.name;
        EXPECT_TRUE(login->isVisible());
        EXPECT_EQ(login->focusWidget(), login->txtPassword);
        EXPECT_EQ(login->txtPassword->selectedText() + "|" + login->txtUserName->text(),
                  QString(w.password) + "|" + w.name);
    }
    EXPECT_EQ(CurrentUserId, "");
    EXPECT_FALSE(frmMain::IsOpen());
    TypeText(login->txtPassword, "Secret");  // typing replaces the selected password
    Press(login->txtPassword, Qt::Key_Return);
    EXPECT_EQ(CurrentUserId, "Ann");
    EXPECT_FALSE(login->isVisible());

    const struct { const char *name, *password, *user, *lookup; } good[] = {
        {"sysop", "quorvandelix", "sysop", nullptr},
        {"aNN", "Secret", "Ann", "Select * from tblUsers Where UserId='aNN' And Passwd='Secret'"},
        {"O'Neil", "pw'1", "O'Neil", "Select * from tblUsers Where UserId='O''Neil' And Passwd='pw''1'"},
    };
    for (const auto &c : good) {
        StatementLog::Clear();
        CurrentUserId.clear();
        Show(login);
        LogIn(c.name, c.password);
        EXPECT_EQ(Statements(), c.lookup ? QStringList{c.lookup} : QStringList()) << c.name;
        EXPECT_EQ(CurrentUserId, c.user);
        EXPECT_EQ(login->result(), QDialog::Accepted);
        ASSERT_TRUE(frmMain::IsOpen());
        EXPECT_EQ(frmMain::Instance()->windowTitle(), QStringLiteral("Quillmark v1.0 DEMO :: ") + c.user);
    }
    Show(login);
    Press(login->txtPassword, Qt::Key_Escape);
    Press(login->txtUserName, Qt::Key_Escape);
    EXPECT_EQ(endProgramCalls, 2);
}

TEST_F(Credentials, NewUsersAreStoredAsTypedUnderTheNextIdAndATakenNameIsRefused)
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
    TypeText(entry->txtUserName, "dora");
    TypeText(entry->txtPassword, "d");
    Press(entry->txtPassword, Qt::Key_Return);  // Enter saves
    EXPECT_EQ(Users().last(), "5:dora:d");

    Show(entry);
    for (const char *again : {"Ann", "ANN", "o'neil"}) {
        boxes.Expect();
        Save(again, "two");
        EXPECT_EQ(OneBox(), "Quillmark v1.0 DEMO: User Already Exists ! (critical, OK)") << again;
        EXPECT_EQ(entry->txtUserName->text() + "/" + entry->txtPassword->text(), QString(again) + "/two");
    }
    QTest::mouseClick(entry->cmdCancel, Qt::LeftButton);
    EXPECT_FALSE(entry->isVisible());
    EXPECT_EQ(entry->result(), QDialog::Rejected);
    EXPECT_EQ(Users().size(), 5);
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

}  // namespace
