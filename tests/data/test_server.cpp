// The database server as gatekeeper: logins it checks, users added only through its function, each
// user's rows kept apart for any client, keys that several programs take at once, and a restart.
#include "DataTest.h"

#include "shell/MyFunMain.h"
#include "shell/frmAbout.h"

#include <QProcess>

namespace {

class ServerTest : public ProgramFolderTest {
protected:
    EngineKind Kind() const override { return EngineKind::Server; }
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        OpenDatabase();
        QFile file(Folder() + "/qmk.server");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(server->conninfo.toUtf8() + "\n");
    }
    // Logs in through the login dialog of a new start of the program; answers who is logged in.
    QString LogIn(const QString &name, const QString &password)
    {
        ResetProcessState();
        ScriptedModals modals;
        ScriptLogin(modals, name, password);
        Main();
        return CurrentUserId;
    }
    // A client of the user's own, straight to the server with the user's password.
    std::unique_ptr<PgEngine> Client(const QString &role, const QString &password = ServerScene::kUserPassword)
    {
        return std::make_unique<PgEngine>(server->conninfo, role, password);
    }
    static QStringList Joined(PgEngine &client, const QString &sql)
    {
        QStringList rows;
        for (const auto rs = client.Execute(sql); !rs->Eof(); rs->MoveNext())
            rows << rs->Fields(0).toString();
        return rows;
    }
    using ProgramFolderTest::Joined;
    static bool Refused(PgEngine &client, const QString &sql)
    {
        try {
            client.Execute(sql);
        } catch (const SqlError &) {
            return true;
        }
        return false;
    }
};

// sysop adds users through the window; the server refuses taken names in any letter case, names it keeps
// for itself and names too long for it. The login dialog connects as the user's own role: a wrong
// password, a role without a user row and a superuser are refused alike, an unreachable server says why.
TEST_F(ServerTest, TheServerChecksEveryLoginAndMakesUsersOnlyThroughItsFunction)
{
    ASSERT_EQ(LogIn("sysop", ServerScene::kSysopPassword), "sysop");
    EXPECT_EQ(frmAbout().lblDatabase->text(), "Database: database qmk_test on " + server->conninfo.section(' ', 0, 0).mid(5) +
                                                  ":" + server->conninfo.section(' ', 1, 1).mid(5));
    const QString exists = "User Already Exists !|" + QString::number(int(ui::Icon::Critical));
    const struct { QString name, box; } adds[] = {
        {"Ann", ""}, {"aNN", exists}, {"Élodie", ""}, {"ÉLODIE", exists}, {"sysop", exists},
        {"public", "The database server keeps the name \"public\" for itself: choose another name."},
        {"PG_monitor", "The database server keeps the name \"pg_monitor\" for itself: choose another name."},
        {"qmk_super", "The database server keeps the name \"qmk_super\" for itself: choose another name."},
        {QString(31, QChar(0x00e9)) + "a", ""}, {QString(32, QChar(0x00e9)), "The name is too long"}};
    for (const auto &a : adds) {
        boxes.Forget();
        if (!a.box.isEmpty())
            boxes.Expect();
        SaveUserThroughWindow(a.name, "Secret 1");
        EXPECT_TRUE(a.box.isEmpty() ? boxes.Count() == 0 : boxes.Last().startsWith(a.box.left(26)))
            << a.name.toStdString() << " " << boxes.Last().toStdString();
    }
    EXPECT_EQ(Joined("Select UserId,Passwd From tblUsers Order by Id"),
              (QStringList{"Ann|", "Élodie|", QString(31, QChar(0x00e9)) + "a|"}));
    EXPECT_EQ(Joined("Select rolname,rolcreaterole,left(rolpassword,14) From pg_authid Where rolname In "
                     "('ann','élodie','sysop') Order by 1"),
              (QStringList{"ann|0|SCRAM-SHA-256$", "sysop|0|SCRAM-SHA-256$", "élodie|0|SCRAM-SHA-256$"}));

    EXPECT_EQ(LogIn("ANN", "Secret 1"), "Ann");
    Seed("CREATE ROLE carl LOGIN PASSWORD 'Secret 1' IN ROLE qmk_users");
    Seed("INSERT INTO tblUsers VALUES (99,'qmk_super','')");  // a superuser is refused even with a user row
    for (const auto &[name, password] : {std::pair<QString, QString>{"ann", "secret 1"}, {"carl", "Secret 1"},
                                         {"nobody", "Secret 1"}, {"qmk_super", server->superPassword}}) {
        boxes.Forget();
        boxes.Expect();
        EXPECT_EQ(LogIn(name, password), "") << name.toStdString();
        EXPECT_EQ(QString::number(boxes.Count()) + boxes.Last(), "1Invalid Password, try again!|3|Login|0|1");
    }
    QFile::remove(Folder() + "/qmk.server");
    QFile file(Folder() + "/qmk.server");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("host=" + Folder().toUtf8() + " dbname=qmk_test\n");
    file.close();
    boxes.Forget();
    boxes.Expect();
    EXPECT_EQ(LogIn("Ann", "Secret 1"), "");
    EXPECT_TRUE(boxes.Count() == 1 && boxes.Last().contains("could not be reached") &&
                boxes.Last().endsWith("|Error|0|1")) << boxes.Last().toStdString();
}

// ann, connected with any client and her own password, reads and changes only her own rows; the key
// function sees every key. sysop can do nothing on the server but add users through its function.
TEST_F(ServerTest, EachUserReachesOnlyTheirOwnRowsWhateverTheClient)
{
    ASSERT_EQ(server->AddUser("ann"), AddUserOutcome::Added);
    ASSERT_EQ(server->AddUser("bob"), AddUserOutcome::Added);
    Seed("INSERT INTO tblTasks VALUES (1,'ann',2,'Hers','2026-01-01',NULL,0,10,' '),(2,'bob',2,'His','2026-01-01',NULL,0,10,' ')");
    Seed("INSERT INTO tblTransaction VALUES (7,'bob','2026-01-02',1,0,5,'x',2),(3,'ann','2026-01-02',1,0,5,'y',1)");
    Seed("INSERT INTO defHeads VALUES (1,'Fuel',1,'bob')");
    const auto ann = Client("ann");
    const QString before = Joined("Select * From tblTasks Order by TaskID").join(';') +
                           Joined("Select * From tblTransaction Order by Id").join(';') + Joined("Select * From defHeads").join(';');
    for (const char *sql : {"Select UserId From tblTasks", "Select UserId From tblTransaction", "Select UserId||Passwd From tblUsers"})
        EXPECT_EQ(Joined(*ann, sql), QStringList{"ann"}) << sql;
    EXPECT_TRUE(ann->Execute("Select * From defHeads")->Eof());
    for (const char *sql : {"Update tblTasks Set TaskName='mine' Where UserId='bob'", "Delete From tblTransaction Where Id=7",
                            "Update defHeads Set Heads='x'", "Delete From tblTasks Where TaskID=2"})
        ann->Execute(sql);
    for (const char *sql : {"INSERT INTO tblTasks (TaskID,UserId) VALUES (9,'bob')", "Update tblTasks Set UserId='bob'",
                            "INSERT INTO tblUsers VALUES (9,'eve','')", "Select * From qmk_logins",
                            "Update tblStatus Set StatusName='x'", "Delete From tblStatus", "CREATE ROLE eve LOGIN",
                            "Select qmk_add_user('eve','eve','SCRAM-SHA-256$4096:c2FsdA==$a2V5:a2V5')",
                            "Select qmk_largest_key('pg_authid','oid')"})
        EXPECT_TRUE(Refused(*ann, sql)) << sql;
    EXPECT_EQ(ann->Execute("Select max(Id) From tblTransaction")->Fields(0).toInt64(), 7);  // every user's keys
    EXPECT_EQ(Joined("Select * From tblTasks Order by TaskID").join(';') + Joined("Select * From tblTransaction Order by Id").join(';') +
                  Joined("Select * From defHeads").join(';'), before);
    EXPECT_EQ(Scalar("Select count(*) From tblStatus"), "6");

    const auto sysop = Client("sysop", ServerScene::kSysopPassword);
    for (const char *sql : {"CREATE ROLE eve LOGIN", "ALTER ROLE ann PASSWORD 'taken'", "COPY (Select 1) TO PROGRAM 'true'",
                            "Select * From tblTasks", "GRANT qmk_useradmin TO sysop", "Select qmk_largest_key('tbltasks','taskid')"})
        EXPECT_TRUE(Refused(*sysop, sql)) << sql;
    EXPECT_THROW(Client("ann", "taken"), LoginRefused);
    EXPECT_THROW(CreateServerDatabase(server->conninfo, "qmk_super", server->superPassword, "x"), SqlError);
}

// Four programs on four computers save 250 entries each at once: every entry is stored once under a key
// of its own, with no box.
TEST_F(ServerTest, FourProgramsSavingAtOnceStoreEveryEntryOnceUnderAKeyOfItsOwn)
{
    ASSERT_EQ(server->AddUser("ann"), AddUserOutcome::Added);
    std::vector<std::unique_ptr<QProcess>> writers;
    for (int i = 0; i < 4; ++i) {
        writers.push_back(std::make_unique<QProcess>());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QMK_SERVER", server->conninfo);
        env.insert("QMK_SERVER_PASSWORD", ServerScene::kUserPassword);
        writers.back()->setProcessEnvironment(env);
        writers.back()->start(QStringLiteral(QMK_TEST_WRITER), {Folder(), "250", "return"});
    }
    for (const auto &writer : writers) {
        ASSERT_TRUE(writer->waitForFinished(180000));
        EXPECT_EQ(writer->exitCode(), 0) << writer->readAllStandardError().toStdString();
    }
    EXPECT_EQ(Joined("Select count(*),count(distinct Id),max(Id) From tblTransaction"), QStringList{"1000|1000|1000"});
    EXPECT_EQ(Scalar("Select count(*) From (Select 1 From tblTransaction Group by AmountIn Having count(*)=4) AS t"), "250");
}

// The server restarts between two saves: the save after it says why in one box and stores nothing; the
// next one connects again with the same login and is stored. While it cannot be reached, an action of
// several statements says so once.
TEST_F(ServerTest, ASaveAfterARestartSaysWhyOnceAndTheNextConnectsAgain)
{
    ASSERT_EQ(server->AddUser("ann"), AddUserOutcome::Added);
    SharedConnection.Use(Client("ann"));
    CTemplate dao;
    const auto save = [&](int amount) {
        dao.AddNew("tblTransaction", "UserId<<>>TaskID<<>>AmountIn", QString("'ann'<<>>1<<>>%1").arg(amount), "Id", "<<>>");
        QApplication::processEvents();  // the action has ended
    };
    save(1);
    ASSERT_EQ(QProcess::execute("bash", {QMK_PG_CLUSTER_SCRIPT, "restart", QMK_PG_DIR}), 0);
    boxes.Expect();
    save(2);
    EXPECT_TRUE(boxes.Last().startsWith("The connection to the database server was lost")) << boxes.Last().toStdString();
    save(3);
    EXPECT_EQ(boxes.Count(), 1);
    const auto cluster = [](const char *command) {
        return QProcess::execute("bash", {QMK_PG_CLUSTER_SCRIPT, command, QMK_PG_DIR});
    };
    ASSERT_EQ(cluster("pause"), 0);
    for (int i = 0; i < 3; ++i)
        boxes.Expect();
    ui::ListBox list(QStringLiteral("lstHeads"));
    dao.LoadList(list, "tblStatus", "StatusName", "StatusID");
    dao.LoadList(list, "defHeads", "Heads", "Id");
    QApplication::processEvents();
    save(4);
    save(5);
    EXPECT_EQ(boxes.Count(), 4);
    EXPECT_TRUE(boxes.Shown().at(1).prompt.startsWith("The connection to the database server was lost"));
    EXPECT_TRUE(boxes.Last().contains("could not be reached")) << boxes.Last().toStdString();
    ASSERT_EQ(cluster("resume"), 0);
    server->admin = std::make_unique<PgEngine>(server->conninfo, "qmk_super", server->superPassword, true);
    EXPECT_EQ(Joined("Select Id,AmountIn From tblTransaction Order by Id"), (QStringList{"1|1", "2|3"}));
}

// qmk-initdb --server lays out only an empty database on a server without Quillmark's roles, with the
// passwords it is given; the sample user then logs in with hers.
TEST_F(ServerTest, TheDatabaseMakerLaysOutOnlyAnEmptyDatabase)
{
    const QString passwords = Folder() + "/pw";
    const QString at = server->conninfo.section(' ', 0, 1) + " dbname=", superPassword = server->superPassword;
    { QFile f(passwords); ASSERT_TRUE(f.open(QIODevice::WriteOnly)); f.write("Demo pass\n"); }
    const auto initdb = [&](const QString &database) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PGPASSWORD", superPassword);
        p.setProcessEnvironment(env);
        p.start(qEnvironmentVariable("QMK_INITDB"), {"--server", "user=qmk_super " + at + database, "--demo",
                                                     "--sysop-password-file", passwords, "--user-password-file", passwords});
        p.waitForFinished(60000);
        return QString::number(p.exitCode()) + " " + QString::fromLocal8Bit(p.readAllStandardError());
    };
    EXPECT_TRUE(initdb("qmk_test").startsWith("1 qmk-initdb: could not lay out the database: The database already holds"));
    PgEngine super(at + "postgres", "qmk_super", superPassword, true);
    super.Execute("CREATE DATABASE qmk_other");
    EXPECT_TRUE(initdb("qmk_other").contains("The server has Quillmark's roles already"));
    // A database whose encoding cannot hold every script is refused, saying how to make one that can.
    super.Execute("CREATE DATABASE qmk_latin ENCODING 'LATIN1' TEMPLATE template0 LC_COLLATE 'C' LC_CTYPE 'C'");
    EXPECT_TRUE(initdb("qmk_latin").contains("needs a UTF8 database. Make one with: createdb -E UTF8 -T template0"));
    server.reset();
    ResetProcessState();
    super.Execute("DROP DATABASE qmk_test WITH (FORCE)");
    for (const char *role : {"sysop", "qmk_keys", "qmk_useradmin", "qmk_users", "qmk_owner"})
        super.Execute(QString("DROP ROLE %1").arg(role));
    EXPECT_EQ(initdb("qmk_other"), "0 ");
    PgEngine demo(at + "qmk_other", "demo", "Demo pass");
    EXPECT_EQ(demo.Execute("Select count(*) From tblTasks")->Fields(0).toInt64(), 3);
    EXPECT_THROW(PgEngine(at + "qmk_other", "sysop", "Demo pass "), LoginRefused);
    PgEngine(at + "qmk_other", "sysop", "Demo pass");
}

}  // namespace
