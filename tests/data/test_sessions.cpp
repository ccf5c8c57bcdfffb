// A session on the server answers as the program expects whatever the server, the role, the database
// or the environment make of it: dates, texts and numbers come back as written, a refused login is
// known in any language the server speaks, and a statement text is prepared only when it comes again.
#include "DataTest.h"

#include "shell/MyFunMain.h"

#include <QElapsedTimer>
#include <QThread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

class ServerSessionTest : public ProgramFolderTest {
protected:
    EngineKind Kind() const override { return EngineKind::Server; }
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        OpenDatabase();
        ASSERT_EQ(server->AddUser("ann"), AddUserOutcome::Added);
    }
    std::unique_ptr<PgEngine> Ann(const QString &conninfo = {})
    {
        return std::make_unique<PgEngine>(conninfo.isEmpty() ? server->conninfo : conninfo, "ann", ServerScene::kUserPassword);
    }
    void ServerFile(const QString &conninfo)
    {
        QFile file(Folder() + "/qmk.server");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(conninfo.toUtf8() + "\n");
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
};

// An environment variable of this process while it lives.
struct Env {
    Env(const char *name, const char *value) : name(name)
    {
        if (name)
            qputenv(name, value);
    }
    ~Env()
    {
        if (name)
            qunsetenv(name);
    }
    const char *name;
};

// ann saves two entries of 5 March and opens and saves a third, the superuser's, without a change,
// under each date style, backslash rule, float precision and search path the environment, her role
// or the database may set: every date comes back as 5 March, every remark and amount as written.
TEST_F(ServerSessionTest, DatesTextsAndNumbersRoundTripWhateverTheSessionDefaults)
{
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
        {
            const Env env(c.env, c.value);
            SharedConnection.Use(Ann());
        }
        CTemplate dao;
        for (const char *remark : {"C:\\new\\dir", "C:\\new\\"})
            dao.AddNew("tblTransaction", "UserId<<>>TransactionDate<<>>AmountIn<<>>Remarks<<>>TaskID",
                       "'ann'<<>>" + DateLiteral(QDate(2026, 3, 5)) + "<<>>12.25<<>>" + QuoteSql(QString(remark)) + "<<>>1",
                       "Id", "<<>>");
        QStringList rows;
        const auto rs = dao.GetResults("Select Id,TransactionDate,AmountIn,AmountOut,Remarks From tblTransaction Order by Id");
        for (; rs && !rs->Eof(); rs->MoveNext()) {
            rows << QStringList{rs->Fields(0).toString(), rs->Fields(1).toString(), rs->Fields(2).toString(),
                                rs->Fields(3).toString(), rs->Fields(4).toString()}.join('|');
            EXPECT_EQ(rs->Fields(1).type(), Variant::Type::Date) << label;
        }
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
    SharedConnection.Use(Ann());
    Seed("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE usename = 'ann'");
    EXPECT_THROW(SharedConnection.Execute("Select 1"), SqlError);
    QApplication::processEvents();  // the action that met the loss has ended
    EXPECT_EQ(SharedConnection.Execute("Select TransactionDate From tblTransaction Where Id=1")->Fields(0).toString(), "05/03/2026");
}

// On a server whose messages are in German a wrong password is still "Invalid Password", a role that
// may not log in too; a database that is not there and a server that cannot be reached say why, in
// the server's words without its codes.
TEST_F(ServerSessionTest, ALoginRefusedInGermanIsAWrongPassword)
{
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
    try {
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
            Ann(server->conninfo.section(' ', 0, 1) + " dbname=qmk_nothere");
            ADD_FAILURE() << "connected to a database that is not there";
        } catch (const LoginRefused &) {
            ADD_FAILURE() << "a missing database taken for a refused login";
        } catch (const SqlError &e) {
            EXPECT_TRUE(e.description().startsWith("The database server could not be reached: ") &&
                        e.description().endsWith("FATAL:  Datenbank »qmk_nothere« existiert nicht"))
                << e.description().toStdString();
        }

        ServerFile(server->conninfo);
        boxes.Expect();
        EXPECT_EQ(LogIn("ann", "wrong"), "");
        EXPECT_EQ(QString::number(boxes.Count()) + boxes.Last(), "1Invalid Password, try again!|3|Login|0|1");
        EXPECT_EQ(LogIn("ann", ServerScene::kUserPassword), "ann");
        ServerFile("host=" + Folder() + " dbname=qmk_test");
        boxes.Forget();
        boxes.Expect();
        EXPECT_EQ(LogIn("ann", ServerScene::kUserPassword), "");
        EXPECT_TRUE(boxes.Count() == 1 && boxes.Last().contains("could not be reached") &&
                    boxes.Last().endsWith("|Error|0|1")) << boxes.Last().toStdString();
    } catch (const SqlError &e) {
        FAIL() << e.description().toStdString();
    }
}

// A server that takes the connection and never answers is given up after the connection's timeout.
TEST_F(ServerSessionTest, AServerThatNeverAnswersIsGivenUpAfterTheConnectTimeout)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr *>(&address), length), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length);
    QElapsedTimer clock;
    clock.start();
    try {
        Ann(QString("hostaddr=127.0.0.1 port=%1 dbname=qmk connect_timeout=2").arg(ntohs(address.sin_port)));
        ADD_FAILURE() << "connected to a server that never answers";
    } catch (const SqlError &e) {
        EXPECT_TRUE(e.description().startsWith("The database server could not be reached: ") &&
                    e.description().endsWith("timeout expired")) << e.description().toStdString();
    }
    EXPECT_TRUE(clock.elapsed() >= 1900 && clock.elapsed() < 6000) << clock.elapsed();
    ::close(listener);
}

// A text runs unprepared the first time and is prepared when it comes again; six hundred texts that
// never repeat leave nothing prepared and do not drop what was. A text of two statements is refused
// either way, and neither runs.
TEST_F(ServerSessionTest, ATextIsPreparedOnlyWhenItComesAgainAndIsOneStatement)
{
    Seed("INSERT INTO tblTasks (TaskID,UserId) VALUES (1,'ann')");
    const auto ann = Ann();
    int probes = 0;
    const auto prepared = [&] {
        QStringList out;
        const QString sql = QString("Select statement From pg_prepared_statements Where statement Not Like '%pg_prepared%' "
                                    "Order by 1 /* %1 */").arg(++probes);
        for (const auto rs = ann->Execute(sql); !rs->Eof(); rs->MoveNext())
            out << rs->Fields(0).toString();
        return out;
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
