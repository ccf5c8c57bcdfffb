// The database server as gatekeeper: logins it checks, users added only through its function, each
// user's rows kept apart for any client, keys that several programs take at once, and a restart; keys
// only its key function chooses, a key lock nobody can jam, estimates that tell nothing of others'
// values, and a password that never travels in clear. A session answers alike whatever the server's,
// the role's or the environment's settings and language, and runs a text in one round trip until it
// comes again.
#include "DataTest.h"

#include "shell/MyFunMain.h"
#include "shell/frmAbout.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

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
                                                  ":" + server->conninfo.section(' ', 1, 1).mid(5) +
                                                  ", through a socket of this computer (not encrypted, never on the network)");
    const QString exists = "User Already Exists !|" + QString::number(int(ui::Icon::Critical));
    const struct { QString name, box; } adds[] = {
        {"Ann", ""}, {"aNN", exists}, {"Élodie", ""}, {"ÉLODIE", exists},
        {"SysOp", "The database server keeps the name \"sysop\" for itself: choose another name."},
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
    Seed("INSERT INTO tblTasks (TaskID,UserId) VALUES (1,'ann')");
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
    Seed("INSERT INTO tblTasks (TaskID,UserId) VALUES (1,'ann')");
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
    EXPECT_TRUE(boxes.Last().startsWith("The database server could not be reached: terminating connection due to "
                                        "administrator command. Nothing was saved; try again in a moment.|"))
        << boxes.Last().toStdString();
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
    EXPECT_TRUE(boxes.Shown().at(1).prompt.startsWith("The database server could not be reached: "))
        << boxes.Shown().at(1).prompt.toStdString();
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
    for (const char *role : {"sysop", "qmk_keys", "qmk_useradmin", "qmk_users", "qmk_owner", "qmk_reaper", "qmk_historian"})
        super.Execute(QString("DROP ROLE %1").arg(role));
    EXPECT_EQ(initdb("qmk_other"), "0 ");
    PgEngine demo(at + "qmk_other", "demo", "Demo pass");
    EXPECT_EQ(demo.Execute("Select count(*) From tblTasks")->Fields(0).toInt64(), 3);
    EXPECT_EQ(Joined(demo, "Select rolconnlimit::text||' '||current_setting('statement_timeout') From pg_roles Where "
                           "rolname='demo'"), QStringList{"8 1min"});  // a user of the sample too
    EXPECT_THROW(PgEngine(at + "qmk_other", "sysop", "Demo pass "), LoginRefused);
    PgEngine(at + "qmk_other", "sysop", "Demo pass");
}

// ann, with a client of her own, cannot choose a key: a row carries the key the server's key function
// gave her session in that transaction, keys and users never change, an entry stays under a project of
// her own. The program's Saves get their keys as before; an entry moves to another of her projects.
TEST_F(ServerTest, OnlyTheKeyFunctionChoosesKeys)
{
    ASSERT_EQ(server->AddUser("ann"), AddUserOutcome::Added);
    ASSERT_EQ(server->AddUser("bob"), AddUserOutcome::Added);
    Seed("INSERT INTO tblTasks (TaskID,UserId) VALUES (1,'ann'),(2,'bob'),(3,'ann')");
    Seed("INSERT INTO tblTransaction (Id,UserId,TaskID) VALUES (1,'ann',1),(2,'ann',9)");  // 9: a deleted project
    const auto ann = Client("ann");
    for (const char *sql : {"INSERT INTO tblTasks (TaskID,UserId) VALUES (32767,'ann')",
                            "INSERT INTO tblTransaction (Id,UserId,TaskID) VALUES (2147483647,'ann',1)",
                            "INSERT INTO defHeads (Id,UserId) VALUES (32767,'ann')", "Update tblTasks Set TaskID=32767",
                            "Update tblTransaction Set Id=32767 Where Id=1", "Update tblTransaction Set TaskID=2 Where Id=1",
                            "Update tblTransaction Set TaskID=32767 Where Id=1"})
        EXPECT_TRUE(Refused(*ann, sql)) << sql;
    const auto refusedAfterKey = [&](const QString &key, const QString &insert) {
        ann->BeginWrite();
        ann->Execute(key);
        const bool refused = Refused(*ann, insert);
        refused ? ann->Rollback() : ann->Commit();
        return refused;
    };
    EXPECT_TRUE(refusedAfterKey("Select max(Id) From defHeads", "INSERT INTO defHeads (Id,UserId) VALUES (2,'ann')"));
    EXPECT_TRUE(refusedAfterKey("Select max(TaskID) From tblTasks", "INSERT INTO tblTasks (TaskID,UserId) VALUES (4,'ann')"));
    EXPECT_TRUE(refusedAfterKey("Select max(Id) From tblTransaction", "INSERT INTO tblTransaction (Id,UserId,TaskID) VALUES (3,'ann',2)"));
    EXPECT_TRUE(refusedAfterKey("Select max(Id) From tblTransaction", "INSERT INTO tblTransaction (Id,UserId,TaskID) VALUES (3,'ann',9)"));
    ann->Execute("Select max(Id) From defHeads");  // a key given outside the writing transaction
    EXPECT_TRUE(Refused(*ann, "INSERT INTO defHeads (Id,UserId) VALUES (1,'ann')"));
    EXPECT_FALSE(refusedAfterKey("Select max(Id) From defHeads", "INSERT INTO defHeads (Id,UserId) VALUES (1,'ann')"));

    SharedConnection.Use(Client("ann"));
    CTemplate dao;
    dao.AddNewTask("tblTasks", "UserId<<>>TaskName", "'ann'<<>>'New'", "TaskID", "<<>>");
    dao.AddNew("tblTransaction", "UserId<<>>TaskID", "'ann'<<>>10", "Id", "<<>>");
    dao.AddNew("defHeads", "UserId<<>>Heads", "'ann'<<>>'Fuel'", "Id", "<<>>");
    dao.UpdateData("tblTransaction", "UserId<<>>TaskID", "'ann'<<>>3", "Id", Variant(1), "<<>>");
    EXPECT_EQ(Joined("Select 'task', max(TaskID) From tblTasks Union All Select 'entry '||Id, TaskID From tblTransaction "
                     "Union All Select 'head', max(Id) From defHeads Order by 1"),
              (QStringList{"entry 1|3", "entry 2|9", "entry 3|10", "head|2", "task|10"}));
}

// bob holds the lock the key function once took, then the key function's own with his timeouts off, idle
// in his transaction: ann's Save gets its key once he has been idle longer than the database's idle timeout
// (a second here), and his session is ended. A member has at most 8 sessions and a statement timeout.
TEST_F(ServerTest, NoMemberCanJamTheKeyLock)
{
    ASSERT_EQ(server->AddUser("ann"), AddUserOutcome::Added);
    ASSERT_EQ(server->AddUser("bob"), AddUserOutcome::Added);
    Seed("INSERT INTO tblTasks (TaskID,UserId) VALUES (1,'ann')");
    Seed("ALTER DATABASE qmk_test SET idle_in_transaction_session_timeout = '1s'");
    const auto bob = Client("bob");
    EXPECT_TRUE(Refused(*bob, "Select * From qmk_key_locks For Update") && Refused(*bob, "Select qmk_end_stuck_holder(1)"));
    bob->Execute("Select pg_advisory_lock(hashtext('quillmark key tbltransaction'))");
    bob->ExecuteScript("SET idle_in_transaction_session_timeout = 0; SET statement_timeout = 0; BEGIN");
    bob->Execute("Select max(Id) From tblTransaction");
    SharedConnection.Use(Client("ann"));
    SharedConnection.SetBusyTimeout(10000);  // a machine busy with other tests is slow to end him
    CTemplate().AddNew("tblTransaction", "UserId<<>>TaskID", "'ann'<<>>1", "Id", "<<>>");
    EXPECT_EQ(Joined("Select Id From tblTransaction"), QStringList{"1"});
    EXPECT_THROW(bob->Execute("Select 1"), SqlError);

    std::vector<std::unique_ptr<PgEngine>> sessions;
    for (int i = 0; i < 7; ++i)
        sessions.push_back(Client("ann"));
    EXPECT_EQ(Joined(*sessions[0], "Show statement_timeout"), QStringList{"1min"});
    EXPECT_THROW(Client("ann"), SqlError);
}

// bob reads nothing of ann's amounts, dates, names and remarks from the planner's estimates: a value
// she holds and one nobody holds are estimated alike.
TEST_F(ServerTest, ThePlannersEstimatesTellNothingOfOtherUsersValues)
{
    ASSERT_EQ(server->AddUser("ann"), AddUserOutcome::Added);
    ASSERT_EQ(server->AddUser("bob"), AddUserOutcome::Added);
    Seed("INSERT INTO tblTasks SELECT i,'ann',2,'Secret','2026-05-01','2026-05-01',9999,9999,'Secret' FROM generate_series(1,500) i");
    Seed("INSERT INTO tblTransaction SELECT i,'ann','2026-05-01',1,9999,9999,'Secret',1 FROM generate_series(1,500) i");
    Seed("INSERT INTO defHeads SELECT i,'Secret',1,'ann' FROM generate_series(1,500) i");
    Seed("ANALYZE");
    const auto bob = Client("bob");
    const auto estimate = [&](const QString &where) {
        return QRegularExpression("rows=(\\d+)").match(Joined(*bob, "EXPLAIN Select * From " + where).value(0)).captured(1);
    };
    for (const auto &[held, none] : std::vector<std::pair<QString, QString>>{
             {"tblTransaction Where AmountIn>9000", "tblTransaction Where AmountIn<9000"},
             {"tblTransaction Where AmountOut=9999", "tblTransaction Where AmountOut=1"},
             {"tblTransaction Where Remarks='Secret'", "tblTransaction Where Remarks='Public'"},
             {"tblTransaction Where TransactionDate>'2026-01-01'", "tblTransaction Where TransactionDate<'2026-01-01'"},
             {"tblTasks Where TaskName='Secret'", "tblTasks Where TaskName='Public'"},
             {"tblTasks Where StartDate>'2026-01-01'", "tblTasks Where StartDate<'2026-01-01'"},
             {"tblTasks Where EndDate>'2026-01-01'", "tblTasks Where EndDate<'2026-01-01'"},
             {"tblTasks Where CostUpToNow>9000 Or CostPlanned>9000", "tblTasks Where CostUpToNow<9000 Or CostPlanned<9000"},
             {"tblTasks Where Notes='Secret'", "tblTasks Where Notes='Public'"},
             {"defHeads Where Heads='Secret'", "defHeads Where Heads='Public'"}})
        EXPECT_EQ(estimate(held), estimate(none)) << held.toStdString();
}

// A server on the network that asks for the password in clear gets none, unless the connection text
// itself turns both TLS and channel binding off; a socket of this computer needs neither.
TEST_F(ServerTest, APasswordNeverTravelsInClearToAServerOnTheNetwork)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr *>(&address), length), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length);
    // Declines encryption, then asks for the password in clear and keeps what comes.
    const auto fakeServer = [listener](QByteArray *heard) {
        pollfd waiting{listener, POLLIN, 0};
        if (::poll(&waiting, 1, 10000) != 1)
            return;
        const int c = ::accept(listener, nullptr, nullptr);
        bool asked = false;
        for (char buffer[512];;) {
            const ssize_t n = ::read(c, buffer, sizeof buffer);
            if (n > 0)
                heard->append(buffer, int(n));
            if (n <= 0 || asked)
                break;
            if (n == 8 && (buffer[7] == 0x2f || buffer[7] == 0x30))  // a request for TLS or GSS encryption
                (void)!::write(c, "N", 1);
            else
                asked = ::write(c, "R\0\0\0\x08\0\0\0\x03", 9) == 9;
        }
        ::close(c);
    };
    const QString at = QString("host=localhost hostaddr=127.0.0.1 port=%1 dbname=qmk ").arg(ntohs(address.sin_port));
    for (const QString options : {"", "sslmode=disable", "sslmode=disable channel_binding=disable"}) {
        QByteArray heard;
        std::thread fake(fakeServer, &heard);
        EXPECT_THROW(PgEngine(at + options, "ann", "Clear secret"), SqlError);
        fake.join();
        EXPECT_EQ(heard.contains("Clear secret"), options.contains("channel_binding")) << options.toStdString();
    }
    // A server that takes the connection and never answers is given up after the connect timeout.
    QElapsedTimer clock;
    clock.start();
    try {
        PgEngine(at + "connect_timeout=2", "ann", "x");
        ADD_FAILURE() << "connected to a server that never answers";
    } catch (const SqlError &e) {
        EXPECT_TRUE(e.description().endsWith("timeout expired") && clock.elapsed() >= 1900 && clock.elapsed() < 6000)
            << e.description().toStdString() << " " << clock.elapsed();
    }
    ::close(listener);
    EXPECT_TRUE(ServerOverNetwork("postgresql://ledgers.lan/quillmark") && ServerOverNetwork("host=/tmp,db.lan"));
    EXPECT_FALSE(ServerOverNetwork("host=/run/postgresql dbname=x") || ServerOverNetwork("postgresql://%2Ftmp/x"));
}

// sysop, with any client, adds a user only with a verifier as libpq makes it and a name the server keeps
// for nobody, in any letter case; the login is the name in small letters. The window says the same.
TEST_F(ServerTest, AddingAUserTakesOnlySoundVerifiersAndNames)
{
    const auto sysop = Client("sysop", ServerScene::kSysopPassword);
    const QString good = QString::fromLatin1(sysop->PasswordVerifier("ann", "pw"));
    const QString salt = good.section('$', 1).section(':', 1), keys = good.section('$', 2);
    const auto add = [&](const QString &name, const QString &role, const QString &verifier) {
        try {
            return sysop->Execute("Select qmk_add_user(" + QuoteSql(name) + "," + QuoteSql(role) + "," + QuoteSql(verifier) + ")")
                ->Fields(0).toString();
        } catch (const SqlError &) {
            return QString("refused");
        }
    };
    for (const QString &verifier : {"SCRAM-SHA-256$2000000000:" + salt + "$" + keys, "SCRAM-SHA-256$4095:" + salt + "$" + keys,
                                    "SCRAM-SHA-256$100001:" + salt + "$" + keys, "SCRAM-SHA-256$4096:c2FsdA==$" + keys,
                                    "SCRAM-SHA-256$4096:" + salt + "$a2V5:a2V5", good + "=", "md5" + keys})
        EXPECT_EQ(add("Ann", "ann", verifier), "refused") << verifier.toStdString();
    for (const QString name : {"Postgres", "PUBLIC", "None", "Current_User", "SESSION_user", "SysOp", "PG_x", "Qmk_x"}) {
        EXPECT_EQ(add(name, name, good), "reserved") << name.toStdString();
        EXPECT_FALSE(ServerNameProblem(name).isEmpty()) << name.toStdString();
    }
    EXPECT_EQ(add("Ann", "Ann", good), "refused");
    EXPECT_EQ(add("Ann", "ann", good), "added");
    EXPECT_EQ(Joined("Select rolname From pg_roles Where rolname ILIKE 'pg\\_x' Or rolname ILIKE 'qmk\\_x' Or rolname='ann'"),
              QStringList{"ann"});
}

// ann saves two entries of 5 March and opens and saves a third, the superuser's, without a change,
// under each date style, backslash rule, float precision and search path the environment, her role
// or the database may set: every date comes back as 5 March, every remark and amount as written.
TEST_F(ServerTest, DatesTextsAndNumbersRoundTripWhateverTheSessionDefaults)
{
    ASSERT_EQ(server->AddUser("ann"), AddUserOutcome::Added);
    Seed("INSERT INTO tblTasks (TaskID,UserId) VALUES (1,'ann')");
    const struct { const char *env, *value, *setting; } cases[] = {
        {"PGDATESTYLE", "SQL, MDY", ""}, {"PGDATESTYLE", "German", ""},
        {nullptr, nullptr, "ALTER ROLE ann SET DateStyle = 'SQL, MDY'"},
        {"PGOPTIONS", "-c standard_conforming_strings=off", ""},
        {nullptr, nullptr, "ALTER DATABASE qmk_test SET extra_float_digits = -15"},
        {nullptr, nullptr, "ALTER ROLE ann SET search_path = pg_catalog"},
        {"PGOPTIONS", "-c DateStyle=Postgres,MDY", ""}};
    for (const auto &c : cases) {
        const std::string label = c.env ? std::string(c.env) + "=" + c.value : c.setting;
        Seed("DELETE FROM tblTransaction");
        Seed("INSERT INTO tblTransaction VALUES (1,'ann','2026-03-05',1,0,1234.5678,'Ω C:\\x\\',1)");
        if (*c.setting)
            Seed(c.setting);
        if (c.env)
            qputenv(c.env, c.value);
        SharedConnection.Use(Client("ann"));
        if (c.env)
            qunsetenv(c.env);
        CTemplate dao;
        for (const char *remark : {"C:\\new\\dir", "C:\\new\\"})
            dao.AddNew("tblTransaction", "UserId<<>>TransactionDate<<>>AmountIn<<>>Remarks<<>>TaskID",
                       "'ann'<<>>" + DateLiteral(QDate(2026, 3, 5)) + "<<>>12.25<<>>" + QuoteSql(QString(remark)) + "<<>>1",
                       "Id", "<<>>");
        const QStringList rows = Rows("Select Id,TransactionDate,AmountIn,AmountOut,Remarks From tblTransaction Order by Id");
        EXPECT_EQ(SharedConnection.Execute("Select TransactionDate From tblTransaction")->Fields(0).type(), Variant::Type::Date);
        EXPECT_EQ(rows, (QStringList{"1|05/03/2026|0|1234.5678|Ω C:\\x\\", "2|05/03/2026|12.25||C:\\new\\dir",
                                     "3|05/03/2026|12.25||C:\\new\\"}))
            << label;
        // Opened and saved without a change: what was shown is written back.
        const QStringList shown = rows.value(0).split('|');
        dao.UpdateData("tblTransaction", "TransactionDate<<>>AmountOut<<>>Remarks",
                       DateLiteral(ParseShortDate(shown.value(1))) + "<<>>" + shown.value(3) + "<<>>" + QuoteSql(shown.value(4)),
                       "Id", Variant(1), "<<>>");
        EXPECT_EQ(Joined("Select TransactionDate::text, AmountOut, Remarks From tblTransaction Where Id=1"),
                  QStringList{"2026-03-05|1234.5678|Ω C:\\x\\"}) << label;
        SharedConnection.Close();
        Seed("ALTER ROLE ann RESET ALL");
        Seed("ALTER DATABASE qmk_test RESET ALL");
    }
    // The connection made again after a loss keeps them too.
    Seed("ALTER ROLE ann SET DateStyle = 'German'");
    SharedConnection.Use(Client("ann"));
    Seed("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE usename = 'ann'");
    EXPECT_THROW(SharedConnection.Execute("Select 1"), SqlError);
    QApplication::processEvents();  // the action that met the loss has ended
    EXPECT_EQ(SharedConnection.Execute("Select TransactionDate From tblTransaction Where Id=1")->Fields(0).toString(), "05/03/2026");
}

// On a server whose messages are in German a wrong password is still "Invalid Password", a role that
// may not log in too; a database that is not there and a server that cannot be reached say why, in
// the server's words without its codes.
TEST_F(ServerTest, ALoginRefusedInGermanIsAWrongPassword)
{
    ASSERT_EQ(server->AddUser("ann"), AddUserOutcome::Added);
    struct German {
        explicit German(PgEngine &admin) : admin(admin)
        {
            admin.ExecuteScript("ALTER SYSTEM SET lc_messages = 'de_DE.UTF-8'");
            admin.Execute("SELECT pg_reload_conf()");
        }
        ~German()
        {
            try {
                admin.ExecuteScript("ALTER SYSTEM RESET lc_messages");
                admin.Execute("SELECT pg_reload_conf()");
            } catch (const SqlError &e) {
                ADD_FAILURE() << e.description().toStdString();
            }
        }
        PgEngine &admin;
    };
    German speaks(*server->admin);
    // The server rereads its settings a moment later; new sessions then speak German.
    QString said;
    for (int i = 0; i < 50 && !said.contains("fehlgeschlagen"); ++i) {
        QThread::msleep(100);
        try {
            PgEngine(server->conninfo, "ann", "wrong");
        } catch (const SqlError &e) {
            said = e.description();
        }
    }
    ASSERT_TRUE(said.contains("Passwort-Authentifizierung")) << said.toStdString();
    EXPECT_FALSE(said.contains("28P01")) << said.toStdString();
    EXPECT_THROW(PgEngine(server->conninfo, "ann", "wrong"), LoginRefused);
    Seed("CREATE ROLE carl NOLOGIN PASSWORD 'Secret 1'");
    EXPECT_THROW(PgEngine(server->conninfo, "carl", "Secret 1"), LoginRefused);  // 28000
    try {
        PgEngine(server->conninfo.section(' ', 0, 1) + " dbname=qmk_nothere", "ann", ServerScene::kUserPassword);
        ADD_FAILURE() << "connected to a database that is not there";
    } catch (const SqlError &e) {
        EXPECT_TRUE(!dynamic_cast<const LoginRefused *>(&e) && e.description().startsWith("The database server could not be reached: ") &&
                    e.description().endsWith("FATAL:  Datenbank »qmk_nothere« existiert nicht"))
            << e.description().toStdString();
    }

    boxes.Expect();
    EXPECT_EQ(LogIn("ann", "wrong"), "");
    EXPECT_EQ(QString::number(boxes.Count()) + boxes.Last(), "1Invalid Password, try again!|3|Login|0|1");
    EXPECT_EQ(LogIn("ann", ServerScene::kUserPassword), "ann");
    QFile file(Folder() + "/qmk.server");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("host=" + Folder().toUtf8() + " dbname=qmk_test\n");
    file.close();
    boxes.Forget();
    boxes.Expect();
    EXPECT_EQ(LogIn("ann", ServerScene::kUserPassword), "");
    EXPECT_TRUE(boxes.Count() == 1 && boxes.Last().contains("could not be reached") &&
                boxes.Last().endsWith("|Error|0|1")) << boxes.Last().toStdString();
}

// A text runs unprepared the first time and is prepared when it comes again; six hundred texts that
// never repeat leave nothing prepared and do not drop what was. A text of two statements is refused
// either way, and neither runs.
TEST_F(ServerTest, ATextIsPreparedOnlyWhenItComesAgainAndIsOneStatement)
{
    ASSERT_EQ(server->AddUser("ann"), AddUserOutcome::Added);
    Seed("INSERT INTO tblTasks (TaskID,UserId) VALUES (1,'ann')");
    const auto ann = Client("ann");
    int probes = 0;
    const auto prepared = [&] {
        return Joined(*ann, QString("Select statement From pg_prepared_statements Where statement Not Like '%pg_prepared%' "
                                    "Order by 1 /* %1 */").arg(++probes));
    };
    ann->Execute("Select TaskID From tblTasks");
    EXPECT_EQ(prepared(), QStringList{});
    ann->Execute("Select TaskID From tblTasks");
    ann->Execute("Select TaskID From tblTasks");
    EXPECT_EQ(prepared(), QStringList{"Select TaskID From tblTasks"});
    for (int i = 0; i < 600; ++i)
        ann->Execute(QString("Select %1 AS n").arg(i));
    EXPECT_EQ(prepared(), QStringList{"Select TaskID From tblTasks"});
    for (int i = 0; i < 2; ++i)
        for (const char *two : {"Select 1; Delete From tblTasks", "Delete From tblTasks; Select 1"})
            EXPECT_THROW(ann->Execute(two), SqlError) << two;
    EXPECT_EQ(Scalar("Select count(*) From tblTasks"), "1");
}

}  // namespace
