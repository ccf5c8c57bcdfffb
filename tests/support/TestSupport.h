#pragma once
// Shared test fixtures: a program folder with a fresh qmk.dat, scripted message boxes and windows.
#include "data/MyFun.h"
#include "data/NewDatabase.h"
#include "data/PgEngine.h"
#include "data/ServerDatabase.h"
#include "shell/frmLogin.h"
#include "shell/frmUser.h"
#include "ui/ListItems.h"
#include "ui/Seams.h"

#include <QSettings>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <deque>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

// Records every message box and answers from a queue; a box with no answer queued fails the test.
class ScriptedMessageBox {
public:
    ScriptedMessageBox()
    {
        m_previous = ui::SetMessageBoxHandler([this](const ui::MessageBoxRequest &r) {
            m_shown.push_back(r);
            if (m_answers.empty()) {
                ADD_FAILURE() << "unexpected message box \"" << r.prompt.toStdString() << "\" titled \""
                              << r.title.toStdString() << "\"";
                const bool yes = r.buttons == ui::Buttons::YesNo || r.buttons == ui::Buttons::YesNoCancel;
                return yes ? ui::Answer::Yes
                           : r.buttons == ui::Buttons::RetryCancel ? ui::Answer::Retry : ui::Answer::OK;
            }
            const ui::Answer a = m_answers.front();
            m_answers.pop_front();
            return a;
        });
    }
    ~ScriptedMessageBox()
    {
        ui::SetMessageBoxHandler(m_previous);
        EXPECT_TRUE(m_answers.empty()) << m_answers.size() << " expected message box(es) never shown";
    }
    void Expect(ui::Answer answer = ui::Answer::OK) { m_answers.push_back(answer); }
    const std::vector<ui::MessageBoxRequest> &Shown() const { return m_shown; }
    int Count() const { return int(m_shown.size()); }
    void Forget() { m_shown.clear(); }
    // The last box as "prompt|icon|title|buttons|default button" (empty when none was shown).
    QString Last() const
    {
        if (m_shown.empty())
            return QString();
        const ui::MessageBoxRequest &b = m_shown.back();
        return QString("%1|%2|%3|%4|%5").arg(b.prompt).arg(int(b.icon)).arg(b.title).arg(int(b.buttons))
            .arg(b.defaultButton);
    }

private:
    ui::MessageBoxHandler m_previous;
    std::deque<ui::Answer> m_answers;
    std::vector<ui::MessageBoxRequest> m_shown;
};

// Which engine a test runs on: the database file, or the tests' own throwaway server.
enum class EngineKind { File, Server };
inline std::string EngineName(const ::testing::TestParamInfo<EngineKind> &info)
{
    return info.param == EngineKind::File ? "File" : "Server";
}

// Runs the cluster script on the tests' own server: "restart" (its sessions are cut, as when an
// administrator restarts it), "pause" (stopped: it cannot be reached) or "resume". Answers its exit code.
inline int Cluster(const char *command)
{
    return QProcess::execute(QStringLiteral("bash"), {QStringLiteral(QMK_PG_CLUSTER_SCRIPT), QString::fromLatin1(command),
                                                      QStringLiteral(QMK_PG_DIR)});
}

// The tests' server stopped while this lives; running again after it, for the tests that follow.
class PausedCluster {
public:
    PausedCluster() : m_paused(Cluster("pause") == 0) {}
    ~PausedCluster() { Resume(); }
    PausedCluster(const PausedCluster &) = delete;
    PausedCluster &operator=(const PausedCluster &) = delete;
    bool Paused() const { return m_paused; }
    void Resume()
    {
        if (m_paused) {
            EXPECT_EQ(Cluster("resume"), 0);
        }
        m_paused = false;
    }

private:
    bool m_paused;
};

// A fresh Quillmark database "qmk_test" on the server that the test command started (its
// connection details in QMK_PG_DIR/env), with no role of an earlier test left. Roles belong to the
// whole server: tests on it take turns (a CTest resource lock).
class ServerScene {
public:
    // The database is laid out as the given version of the program lays it out.
    explicit ServerScene(int version = kServerSchemaVersion)
    {
        QFile env(QStringLiteral(QMK_PG_DIR "/env"));
        if (!env.open(QIODevice::ReadOnly))
            throw SqlError(QStringLiteral("The tests' database server is not running (no %1).").arg(env.fileName()));
        QHash<QString, QString> values;
        for (const QByteArray &line : env.readAll().split('\n'))
            if (line.contains('='))
                values.insert(QString::fromUtf8(line.left(line.indexOf('='))), QString::fromUtf8(line.mid(line.indexOf('=') + 1)));
        superPassword = values.value("QMK_PG_SUPERUSER_PASSWORD");
        const QString server = QString("host=%1 port=%2 ").arg(values.value("PGHOST"), values.value("PGPORT"));
        conninfo = server + "dbname=qmk_test";
        {
            PgEngine super(server + "dbname=postgres", "qmk_super", superPassword, true);
            for (const auto rs = super.Execute("SELECT datname FROM pg_database WHERE datname LIKE 'qmk\\_%'"); !rs->Eof();
                 rs->MoveNext())
                super.Execute("DROP DATABASE " + rs->Fields(0).toString() + " WITH (FORCE)");
            super.ExecuteScript("DO $$ DECLARE r record; BEGIN FOR r IN SELECT rolname FROM pg_roles WHERE rolname "
                                "NOT LIKE 'pg\\_%' AND rolname <> 'qmk_super' LOOP EXECUTE format('DROP ROLE %I', "
                                "r.rolname); END LOOP; END $$");
            super.Execute("CREATE DATABASE qmk_test");
        }
        CreateServerDatabase(conninfo, "qmk_super", superPassword, kSysopPassword, Sample::None, {}, version);
        admin = std::make_unique<PgEngine>(conninfo, "qmk_super", superPassword, true);
    }
    // Adds a user as the master login does; answers the outcome.
    AddUserOutcome AddUser(const QString &name, const QString &password = kUserPassword)
    {
        PgEngine sysop(conninfo, "sysop", kSysopPassword);
        return AddServerUser(sysop, name, password);
    }
    static constexpr const char *kSysopPassword = "sysop-secret";
    static constexpr const char *kUserPassword = "user-secret";
    QString conninfo, superPassword;
    std::unique_ptr<PgEngine> admin;  // the server's superuser: reads and seeds every user's rows
};

// A temporary program folder with a fresh qmk.dat, the statement log on, scripted message boxes, and
// what goes to the desktop, the end of the program and the trace channel recorded.
class ProgramFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ResetProcessState();
        QSettings(QStringLiteral("Quillmark"), QStringLiteral("Quillmark")).remove(QStringLiteral("windows"));  // where windows were left
        ui::SetAppPath(m_dir.path());
        CreateDatabaseFile(DatabasePath());
        AppTitle = QString::fromLatin1(kAppTitle);
        StatementLog::SetEnabled(true);
        StatementLog::Clear();
        m_prevOpen = ui::SetOpenHandler([this](const QString &t) { opened << t; });
        m_prevEnd = ui::SetEndHandler([this] { ++endProgramCalls; });
        m_prevTrace = ui::SetTraceHandler([this](const QByteArray &line) { traces << line; });
    }
    void TearDown() override
    {
        ui::SetOpenHandler(m_prevOpen);
        ui::SetEndHandler(m_prevEnd);
        ui::SetTraceHandler(m_prevTrace);
        for (QWidget *w : QApplication::topLevelWidgets())
            w->close();
        ResetProcessState();
        server.reset();
        StatementLog::Clear();
        StatementLog::SetEnabled(false);
        ui::SetAppPath(QString());
    }
    // The engine of the test: the file unless the test runs on both.
    virtual EngineKind Kind() const { return EngineKind::File; }
    // Opens the folder's qmk.dat as start-up does; on the server, connects as its superuser, who
    // sees every user's rows as the file does.
    void OpenDatabase()
    {
        if (Kind() == EngineKind::Server) {
            server = std::make_unique<ServerScene>();
            ServerConnection = server->conninfo;
            SharedConnection.Use(std::make_unique<PgEngine>(server->conninfo, "qmk_super", server->superPassword, true));
        } else {
            DataAccess.dataIntialize(DatabasePath(), QString(), QString::fromLatin1(kDatabasePassword), QString());
        }
        ASSERT_TRUE(SharedConnection.IsOpen());
        StatementLog::Clear();
    }
    // Opens it for a logged-in user and inserts rows ("table VALUES (...)" each). On the server the
    // user is added as sysop adds users and logged in as their own role.
    void Scene(const QString &user, std::initializer_list<const char *> inserts = {})
    {
        OpenDatabase();
        if (server) {
            ASSERT_EQ(server->AddUser(user), AddUserOutcome::Added);
            SharedConnection.Use(std::make_unique<PgEngine>(server->conninfo, ServerRoleOf(user), ServerScene::kUserPassword));
        }
        CurrentUserId = user;
        for (const char *rows : inserts)
            Seed(QStringLiteral("INSERT INTO ") + QString::fromUtf8(rows));
    }
    QString DatabasePath() const { return m_dir.filePath(QStringLiteral("qmk.dat")); }
    QString Folder() const { return m_dir.path(); }
    // The first column of every row, as text (Scalar: of the first row), read outside the statement log.
    QStringList Column(const QString &sql)
    {
        QStringList out;
        for (const auto rs = Quietly(sql); !rs->Eof(); rs->MoveNext())
            out << rs->Fields(0).toString();
        return out;
    }
    QString Scalar(const QString &sql) { return Column(sql).value(0); }
    // Every row, its fields' text forms joined by '|'.
    QStringList Joined(const QString &sql)
    {
        QStringList rows;
        for (const auto rs = Quietly(sql); !rs->Eof(); rs->MoveNext()) {
            QStringList fields;
            for (int i = 0; i < rs->FieldCount(); ++i)
                fields << rs->Fields(i).toString();
            rows << fields.join('|');
        }
        return rows;
    }
    // The first field of the first row as the engine gave it.
    Variant Value(const QString &sql) { return Quietly(sql)->Fields(0); }
    void Seed(const QString &sql) { Quietly(sql); }
    const QStringList &Statements() const { return StatementLog::Entries(); }

    std::unique_ptr<ServerScene> server;  // on the server engine only
    ScriptedMessageBox boxes;
    QStringList opened;  // what was handed to the desktop
    QList<QByteArray> traces;
    int endProgramCalls = 0;

private:
    std::shared_ptr<Recordset> Quietly(const QString &sql)
    {
        if (server)
            return server->admin->Execute(sql);
        const bool logging = StatementLog::Enabled();
        StatementLog::SetEnabled(false);
        auto rs = SharedConnection.Execute(sql);
        StatementLog::SetEnabled(logging);
        return rs;
    }
    QTemporaryDir m_dir;
    ui::OpenHandler m_prevOpen;
    ui::EndHandler m_prevEnd;
    ui::TraceHandler m_prevTrace;
};

// A test fixture whose cases run on both engines: the file and the server.
template <class Base>
class OnBothEngines : public Base, public ::testing::WithParamInterface<EngineKind> {
protected:
    EngineKind Kind() const override { return GetParam(); }
};
#define QMK_ON_BOTH_ENGINES(Suite) \
    INSTANTIATE_TEST_SUITE_P(Engines, Suite, ::testing::Values(EngineKind::File, EngineKind::Server), EngineName)

// Modal windows run the next script in turn instead of waiting; one opened with none left fails the test.
class ScriptedModals {
public:
    using Script = std::function<void(QDialog &)>;
    ScriptedModals()
    {
        m_previous = ui::SetModalHandler([this](QDialog &dialog) {
            ++m_opened;
            dialog.show();
            dialog.activateWindow();
            QApplication::processEvents();
            if (m_scripts.empty()) {
                ADD_FAILURE() << "unexpected modal window " << dialog.objectName().toStdString();
            } else {
                Script script = std::move(m_scripts.front());
                m_scripts.pop_front();
                script(dialog);
            }
            QApplication::processEvents();
            if (dialog.isVisible())
                dialog.reject();
            return dialog.result();
        });
    }
    ~ScriptedModals()
    {
        ui::SetModalHandler(m_previous);
        EXPECT_TRUE(m_scripts.empty()) << m_scripts.size() << " scripted window(s) never opened";
    }
    void Then(Script script) { m_scripts.push_back(std::move(script)); }
    int Opened() const { return m_opened; }

private:
    ui::ModalHandler m_previous;
    std::deque<Script> m_scripts;
    int m_opened = 0;
};

inline QStringList Items(const IListItems &list)
{
    QStringList out;
    for (int i = 0; i < list.ListCount(); ++i)
        out << list.List(i);
    return out;
}

inline QByteArray BytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
// Makes a folder one that a group shares, as the installed xsl/ is: set-group-id, of a group that is
// not the user's primary one (root gives it nogroup; others one of their other groups).
inline bool SharedFolder(const QString &dir)
{
    gid_t groups[64];
    const int n = ::getuid() == 0 ? 0 : ::getgroups(64, groups);
    gid_t other = ::getuid() == 0 ? 65534 : ::getgid();
    for (int i = 0; i < n; ++i)
        other = groups[i] != ::getgid() ? groups[i] : other;
    const QByteArray d = QFile::encodeName(dir);
    return other != ::getgid() && ::chown(d, uid_t(-1), other) == 0 && ::chmod(d, 02770) == 0;
}
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

inline void Press(QWidget *w, int key) { QTest::keyClick(w, Qt::Key(key)); }
// Types any text as key events; beyond ASCII as an input method hands it over (a surrogate pair as one).
inline void TypeText(QWidget *w, const QString &text)
{
    for (int i = 0; i < text.size(); ++i) {
        const QString ch = text.mid(i, text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1);
        i += int(ch.size()) - 1;
        if (ch.size() == 1 && ch[0].unicode() >= 0x20 && ch[0].unicode() < 0x7f) {
            QTest::keyClicks(w, ch);
        } else {
            QTest::sendKeyEvent(QTest::Press, w, Qt::Key_unknown, ch, Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, w, Qt::Key_unknown, ch, Qt::NoModifier);
        }
    }
}

// Awkward texts for any text box. Tabs, line breaks and 10,000 characters cannot be typed into a
// one-line box: Put pastes them, and answers what the box then holds.
inline const QString kHostile[] = {
    "'", "''", "\"\"", "x' OR '1'='1", "<<>>", "<<", "#", "#1/1/2000#", "#31/2/2000#", "--", ";",
    "x'; DROP TABLE tblUsers; --", "%", "_", "   ", " 7 ", "-12.5", "+3e2", "1.5E-3", "+.5", "7.", "1e15", "2e15",
    "1e999", "nan", "inf", "0x10", QStringLiteral(" 'x'<<>>#1/2/2003#;--%_\"\u03a9").repeated(400).left(10000),
    "a\tb\t", "one\r\ntwo\nthree", QStringLiteral(u"\u00c9lodie \u03a9\u03bc\u03ad\u03b3\u03b1 \u041f\u0440\u0438"),
    QStringLiteral(u"\u65e5\u672c \U0001F600\U0001F44D\U0001F3FD")};
inline QString Put(QLineEdit *box, const QString &text)
{
    box->selectAll();
    text.size() < 100 && !text.contains('\t') && !text.contains('\n') ? TypeText(box, text) : box->setText(text);
    return box->text();
}

// Scripts the next login dialog: the name, Enter, the password, Enter.
inline void ScriptLogin(ScriptedModals &modals, const QString &name, const QString &password)
{
    modals.Then([=](QDialog &d) {
        auto &login = static_cast<frmLogin &>(d);
        TypeText(login.txtUserName, name);
        Press(login.txtUserName, Qt::Key_Return);
        TypeText(login.txtPassword, password);
        Press(login.txtPassword, Qt::Key_Return);
    });
}

// Saves a user through the user entry window as a user would: types both boxes, clicks Save.
inline void SaveUserThroughWindow(const QString &name, const QString &password)
{
    frmUser window;
    window.show();
    QApplication::processEvents();
    TypeText(window.txtUserName, name);
    TypeText(window.txtPassword, password);
    QTest::mouseClick(window.cmdSave, Qt::LeftButton);
}
