// Logins kept apart: passwords kept as hashes and changed by their owners, the master password of
// the file no longer the one every copy has once changed, databases of the version before brought
// up to date, and a write that fails ending its transaction before the user is told.
#include "TestSupport.h"

#include "data/Accounts.h"
#include "shell/MyFunMain.h"
#include "shell/frmMain.h"
#include "shell/frmPassword.h"

#include <QProcess>
#include <QRegularExpression>

#include "version.h"

namespace {

class AccountsTest : public ProgramFolderTest {
protected:
    // Starts the program with the login answered by script; answers who is logged in.
    QString LogIn(const QString &name, const QString &password)
    {
        ResetProcessState();
        if (server)
            ServerConnection = server->conninfo;
        ScriptedModals login;
        ScriptLogin(login, name, password);
        Main();
        return CurrentUserId;
    }
    // Runs a step that shows one box; answers its text.
    template <typename Step>
    QString BoxOf(Step &&step)
    {
        boxes.Expect();
        step();
        const QString shown = boxes.Shown().empty() ? QString() : boxes.Shown().back().prompt;
        boxes.Forget();
        return shown;
    }
    // The refusals and then a change through the window opened from the menu, as the user logged in now.
    void ChangeThroughMenu(const QString &old, const QString &fresh)
    {
        ScriptedModals modals;
        modals.Then([&](QDialog &d) {
            auto &w = static_cast<frmPassword &>(d);
            const auto change = [&](const QString &o, const QString &f, const QString &again) {
                return BoxOf([&] {
                    Put(w.txtOldPassword, o), Put(w.txtNewPassword, f), Put(w.txtRepeatPassword, again);
                    QTest::mouseClick(w.cmdSave, Qt::LeftButton);
                });
            };
            EXPECT_EQ(change(old, "long enough 1", "long enough 2"), "The two new passwords differ: type the same new password twice.");
            EXPECT_EQ(change(old, "seven77", "seven77"), "The new password is too short: it needs at least 8 characters.");
            EXPECT_EQ(change(old + "x", fresh, fresh), "The old password is not right.");
            EXPECT_EQ(w.focusWidget(), w.txtOldPassword);
            EXPECT_EQ(change(old, fresh, fresh), "The password has been changed.");
            EXPECT_EQ(w.result(), QDialog::Accepted);
        });
        ASSERT_TRUE(frmMain::Instance()->mnuChangePassword->isEnabled());
        frmMain::Instance()->mnuChangePassword->trigger();
    }
    QString Refused(const QString &name, const QString &password)
    {
        return BoxOf([&] { EXPECT_EQ(LogIn(name, password), ""); });
    }
};

// A file made by the version before (its passwords as typed) is brought up to date when it opens; its
// user logs in with the old password once, which is then kept only as a hash. A file of a later
// version is refused, naming the program that made it, and left as it is.
TEST_F(AccountsTest, AFileOfTheVersionBeforeIsUpgradedAndItsPasswordsHashedAtTheNextLogin)
{
    QFile::remove(DatabasePath());
    ASSERT_TRUE(QFile::copy(QM_SOURCE_DIR "/tests/data/fixtures/v1-demo.dat", DatabasePath()));
    QFile::setPermissions(DatabasePath(), QFile::ReadOwner | QFile::WriteOwner);
    ASSERT_EQ(LogIn("demo", "demo"), "demo");
    EXPECT_EQ(Joined("Select (Select count(*) From tblTransaction), Passwd LIKE '$argon2id$%', "
                     "(Select Value From tblSettings Where Name='Program') From tblUsers"),
              QStringList{QString("48|1|Quillmark %1.%2.%3").arg(QM_VERSION_MAJOR).arg(QM_VERSION_MINOR).arg(QM_VERSION_REVISION)});
    EXPECT_EQ(Scalar("PRAGMA user_version"), QString::number(kFileSchemaVersion));
    EXPECT_EQ(Refused("demo", "Demo"), "Invalid Password, try again!");
    EXPECT_EQ(LogIn("demo", "demo"), "demo");
    EXPECT_TRUE(frmMain::Instance()->lblDefaultPassword->isVisibleTo(frmMain::Instance()));

    Seed("PRAGMA user_version=" + QString::number(kFileSchemaVersion + 1));
    ResetProcessState();
    const QByteArray before = BytesOf(DatabasePath());
    boxes.Expect();
    DataAccess.dataIntialize(DatabasePath(), {}, kDatabasePassword);
    EXPECT_FALSE(SharedConnection.IsOpen());
    EXPECT_TRUE(boxes.Last().contains(QString("was made by Quillmark %1.").arg(QM_VERSION_MAJOR)) &&
                boxes.Last().contains(QString("of version %1").arg(kFileSchemaVersion + 1)))
        << boxes.Last().toStdString();
    EXPECT_EQ(BytesOf(DatabasePath()), before);
}

// Every login changes its own password; the refusals keep the window open. Once the master password
// of the file has changed, the notice goes and the default one no longer logs in as master; a user's
// old password no longer logs in either.
TEST_F(AccountsTest, EveryLoginChangesItsPasswordAndTheDefaultMasterPasswordStopsWorking)
{
    Scene("", {"tblUsers (Id,UserId,Passwd) VALUES (1,'Ann','Secret')"});
    ASSERT_EQ(LogIn("sysop", "quorvandelix"), "sysop");
    EXPECT_TRUE(frmMain::Instance()->lblDefaultPassword->isVisibleTo(frmMain::Instance()));
    ChangeThroughMenu("quorvandelix", "master pass 1");
    EXPECT_FALSE(frmMain::Instance()->lblDefaultPassword->isVisibleTo(frmMain::Instance()));
    EXPECT_TRUE(Scalar("Select Value From tblSettings Where Name='Master password'").startsWith("$argon2id$"));
    EXPECT_EQ(Refused("sysop", "quorvandelix"), "Invalid Password, try again!");
    ASSERT_EQ(LogIn("sysop", "master pass 1"), "sysop");

    ASSERT_EQ(LogIn("ann", "Secret"), "Ann");
    ChangeThroughMenu("Secret", "Ann's new one");
    EXPECT_EQ(Refused("Ann", "Secret"), "Invalid Password, try again!");
    EXPECT_EQ(LogIn("ANN", "Ann's new one"), "Ann");
    EXPECT_EQ(Scalar("Select count(*) From tblUsers Where Passwd LIKE '$argon2id$%'"), "1");
}

// A write whose key cannot be given (the largest key is taken) tells the user only after its
// transaction has ended: another program can write while the box is open.
class WriteEndsTest : public OnBothEngines<AccountsTest> {};
QMK_ON_BOTH_ENGINES(WriteEndsTest);
TEST_P(WriteEndsTest, AFailedKeyEndsTheTransactionBeforeTheBox)
{
    Scene("ann", {"defHeads (Id,Heads,PlusMinus,UserId) VALUES (2147483647,'Full',0,'ann')"});
    bool otherCouldWrite = false;
    QString shown;
    const auto previous = ui::SetMessageBoxHandler([&](const ui::MessageBoxRequest &r) {
        shown = r.prompt;
        otherCouldWrite = TryStep([&] {
            if (server) {
                PgEngine other(server->conninfo, "qmk_super", server->superPassword, true);
                other.ExecuteScript("SET lock_timeout = 500; BEGIN; SELECT qmk_largest_key('defheads', 'id'); COMMIT");
            } else {
                Connection other;
                other.Open("dbq=" + DatabasePath(), {}, kDatabasePassword);
                other.SetBusyTimeout(500);
                WriteTransaction write(other);
                write.Commit();
            }
        });
        return ui::Answer::OK;
    });
    CTemplate().AddNew("defHeads", "Heads<<>>PlusMinus<<>>UserId", "'x'<<>>0<<>>'ann'", "Id", "<<>>");
    ui::SetMessageBoxHandler(previous);
    EXPECT_TRUE(shown.startsWith("Overflow")) << shown.toStdString();
    EXPECT_TRUE(otherCouldWrite);
}

// A server database made by the version before lets nobody log in and names the command that
// upgrades it; the database maker's --upgrade brings it up to date (once), and a user then changes
// the password of their own server login.
TEST_F(AccountsTest, AServerDatabaseOfTheVersionBeforeIsUpgradedByTheMakerAndPasswordsChange)
{
    server = std::make_unique<ServerScene>(1);
    ASSERT_EQ(server->AddUser("Ann"), AddUserOutcome::Added);
    server->admin->Execute("INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (1,'Fuel',1,'Ann')");
    server->admin->Execute("INSERT INTO tblTasks (TaskID,UserId,StatusID,TaskName) VALUES (1,'Ann',2,'Shed'),(2,'Ann',2,'Roof')");
    server->admin->Execute("INSERT INTO tblTransaction (Id,UserId,TransactionDate,HeadId,AmountIn,AmountOut,TaskID) "
                           "VALUES (1,'Ann','2026-03-05',1,0,12.5,1)");
    boxes.Expect();
    EXPECT_EQ(LogIn("Ann", ServerScene::kUserPassword), "");
    EXPECT_TRUE(boxes.Last().contains("qmk-initdb --server \"" + server->conninfo + "\" --upgrade")) << boxes.Last().toStdString();
    boxes.Forget();
    const auto upgrade = [&] {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PGPASSWORD", server->superPassword);
        p.setProcessEnvironment(env);
        p.start(qEnvironmentVariable("QMK_INITDB"), {"--server", "user=qmk_super " + server->conninfo, "--upgrade"});
        p.waitForFinished(120000);
        return QString::number(p.exitCode()) + " " + QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
    };
    EXPECT_EQ(upgrade(), QString("0 qmk-initdb: brought the server database from version 1 to version %1\n").arg(kServerSchemaVersion));
    EXPECT_TRUE(upgrade().startsWith("0 qmk-initdb: the server database is up to date already"));
    ASSERT_EQ(LogIn("Ann", ServerScene::kUserPassword), "Ann");
    // Her rows came through, and a Save takes its key from the upgraded key function.
    CTemplate().AddNew("tblTransaction", "UserId<<>>TransactionDate<<>>HeadId<<>>AmountIn<<>>AmountOut<<>>TaskID",
                       "'Ann'<<>>#6/3/2026#<<>>1<<>>0<<>>7<<>>2", "Id", "<<>>");
    EXPECT_EQ(Joined("Select TaskID || ':' || Id || ':' || AmountOut From tblTransaction Order by Id"),
              (QStringList{"1:1:12.5", "2:2:7"}));
    ChangeThroughMenu(ServerScene::kUserPassword, "Ann's new one");
    EXPECT_THROW(PgEngine(server->conninfo, "ann", ServerScene::kUserPassword), LoginRefused);
    PgEngine(server->conninfo, "ann", "Ann's new one");
    SharedConnection.Execute("Select count(*) From tblTasks");  // the program's own connection still works
}

// Names that differ in letter case only are one name on both engines; names that differ in width,
// accents or letters are names of their own, and on the server a look-alike name reaches no row of
// the user it looks like.
class SameNamesTest : public OnBothEngines<AccountsTest> {};
QMK_ON_BOTH_ENGINES(SameNamesTest);
TEST_P(SameNamesTest, OnlyLetterCaseMakesTwoNamesOne)
{
    OpenDatabase();
    ASSERT_EQ(LogIn("sysop", server ? ServerScene::kSysopPassword : "quorvandelix"), "sysop");
    const struct { QString name; bool taken; } names[] = {
        {"demo", false}, {"DEMO", true}, {QStringLiteral(u"\uff44\uff45\uff4d\uff4f"), false},
        {QStringLiteral(u"\u00c9lodie"), false}, {QStringLiteral(u"\u00c9LODIE"), true}, {"Elodie", false},
        {QStringLiteral(u"\u039f\u0394\u039f\u03a3"), false}, {QStringLiteral(u"\u03bf\u03b4\u03bf\u03c3"), true},
        {QStringLiteral(u"stra\u00dfe"), false}, {"STRASSE", false}};
    for (const auto &n : names) {
        if (n.taken)
            boxes.Expect();
        SaveUserThroughWindow(n.name, "password1");
        EXPECT_EQ(boxes.Count(), n.taken ? 1 : 0) << n.name.toStdString();
        boxes.Forget();
    }
    if (!server)
        return;
    server->admin->Execute("INSERT INTO tblTasks (TaskID,UserId,StatusID,TaskName) VALUES (1,'demo',2,'secret')");
    PgEngine lookalike(server->conninfo, QStringLiteral(u"\uff44\uff45\uff4d\uff4f"), "password1");
    EXPECT_EQ(lookalike.Execute("Select count(*) From tblTasks")->Fields(0).toInt64(), 0);
    EXPECT_EQ(lookalike.Execute("Select count(*) From tblUsers")->Fields(0).toInt64(), 1);
}

}  // namespace
