// The engine behind CTemplate (one statement at a time, names in any letter case), value texts, the database maker.
#include "DataTest.h"

#include "data/NewDatabase.h"
#include "data/SqlCipherEngine.h"
#include "shell/MyFunMain.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <grp.h>
#include <iostream>
#include <QLocale>
#include <limits>
#include <unistd.h>

using DataEngine = OpenFolderTest;
class DataStatements : public OnBothEngines<OpenFolderTest> {};

// An impossible date, a second statement (or an empty one first), an unknown table and no text
// at all: each is refused with the engine's reason, runs nothing, and keeps the current result.
TEST_P(DataStatements, RejectedStatementsRunNothingAndKeepTheCurrentResult)
{
    dao.ExecuteSql("Select StatusID from tblStatus");
    const std::shared_ptr<Recordset> before = SharedRecordset;
    before->MoveNext();
    const QString del = "Delete from tblStatus", sel = "Select StatusName from tblStatus";
    const QString add = "INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (1,'Fuel',1,'ann')";
    for (const QString &sql : {QString("INSERT INTO tblTransaction (Id,TransactionDate) VALUES (1,#31/02/2026#)"),
                               add + "; " + del, ";" + del, "/* c */ ; " + del, "-- c\n;" + del, sel + " --\n; " + del,
                               sel + "; /* c */ " + del, sel + " /* ; */ ;; -- c\n" + del, sel + QChar(0) + del, "/* /* */ x */ ;" + del,
                               QString("Select x from tblNowhere"), QString()}) {
        try {
            dao.ExecuteSql(sql);
            ADD_FAILURE() << "accepted " << sql.toStdString();
        } catch (const SqlError &e) {
            EXPECT_FALSE(e.description().isEmpty());
        }
        EXPECT_EQ(SharedRecordset, before);
    }
    EXPECT_EQ(Joined("Select (Select count(*) from tblTransaction),(Select count(*) from defHeads),count(*) "
                     "from tblStatus"), QStringList{"0|0|6"});
    EXPECT_EQ(before->Fields(0).toString(), "2");  // the cursor the caller was walking stays put
    for (const QString &sql : {sel + ";", sel + " ;; ", sel + "; -- all", sel + " /* ; */",
                               QString("Select ';'||StatusName from tblStatus Where StatusID=1; /* done */")}) {
        dao.ExecuteSql(sql);
        EXPECT_TRUE(SharedRecordset->Fields(0).toString().endsWith("All")) << sql.toStdString();
    }
}

QMK_ON_BOTH_ENGINES(DataStatements);

// Side files put in the way while the file is closed, read and written by another program of this process:
// the engine follows no link and opens no second name, so the file they lead to stays as it was.
TEST_F(DataEngine, TheEngineOpensNoSideFileThroughALinkOrASecondName)
{
    ResetProcessState();
    const QString victim = Folder() + "/victim";
    for (const char *suffix : {"-wal", "-shm", "-journal"}) {
        for (const bool symbolic : {true, false}) {
            { QFile f(victim); f.open(QIODevice::WriteOnly); f.write("private"); }
            const QByteArray side = QFile::encodeName(DatabasePath() + suffix);
            ASSERT_EQ(symbolic ? ::symlink(QFile::encodeName(victim).constData(), side.constData())
                               : ::link(QFile::encodeName(victim).constData(), side.constData()), 0);
            sqlite3 *db = nullptr;
            sqlite3_open(QFile::encodeName(DatabasePath()).constData(), &db);
            sqlite3_key(db, kDatabasePassword, int(qstrlen(kDatabasePassword)));
            sqlite3_exec(db, "PRAGMA journal_mode=WAL; INSERT INTO tblStatus VALUES (9,'x'); PRAGMA journal_mode=DELETE; "
                             "INSERT INTO tblStatus VALUES (10,'y')", nullptr, nullptr, nullptr);
            sqlite3_close(db);
            EXPECT_EQ(BytesOf(victim), "private") << suffix << symbolic;
            ::unlink(side.constData());
        }
    }
}

// Simple case folding (final sigma is sigma, capital sharp s is sharp s, "ss" is not "ß") in the user entry
// and the login; exact passwords; a closed file that the engine alone reads with the program's key.
TEST_F(DataEngine, NamesMatchInAnyLetterCaseButPasswordsExactly)
{
    for (int i = 0; i < 5; ++i)
        boxes.Expect();
    for (const char *name :
         {"Ann", "aNN", "Élodie", "élodie", "ÉLODIE", "Straße", "STRASSE", "STRAẞE", "ΣΊΣΥΦΟΣ", "σίσυφος"})
        SaveUserThroughWindow(QString::fromUtf8(name), "Secret");
    for (const ui::MessageBoxRequest &box : boxes.Shown())
        EXPECT_EQ(box.prompt, "User Already Exists !");
    const QStringList stored{"Ann", "Élodie", "Straße", "STRASSE", "ΣΊΣΥΦΟΣ"};
    EXPECT_EQ(Column("Select UserId From tblUsers Order by Id"), stored);
    for (const char *table : {"defHeads", "tblTasks", "tblTransaction"}) {
        Seed(QStringLiteral("INSERT INTO %1 (UserId) VALUES ('Ann')").arg(table));
        EXPECT_EQ(Scalar(QStringLiteral("Select count(*) from %1 Where UserId='aNN'").arg(table)), "1") << table;
    }
    EXPECT_EQ(Column("Select Passwd from tblUsers Where Passwd In ('secret','Secret ','SECRET')"), QStringList());
    ScriptedModals modals;
    ScriptLogin(modals, "strasse", "Secret");
    Main();
    EXPECT_EQ(CurrentUserId, "STRASSE");
    ResetProcessState();  // as when the program ends
    EXPECT_EQ(AsAnotherProgram(DatabasePath(), "PRAGMA journal_mode; SELECT UserId FROM tblUsers ORDER BY Id; "
                                               "SELECT count(*) FROM tblStatus", "quorvandelix"),
              QStringList{"delete"} + stored + QStringList{"6"});
}

TEST(DataValues, NumbersDatesAndQuotedTextHaveOneTextFormInEveryLocale)
{
    for (const char *locale : {"C", "de_DE"}) {
        QLocale::setDefault(QLocale(QString::fromLatin1(locale)));
        // A point, no exponent, no grouping, no minus zero, at most fifteen significant digits.
        const struct { double value; const char *plain, *fixed2; } numbers[] = {
            {12.5, "12.5", "12.50"}, {100, "100", "100.00"}, {-0.0, "0", "0.00"}, {-0.001, "-0.001", "0.00"},
            {-1234.5, "-1234.5", "-1234.50"}, {0.1 + 0.2, "0.3", "0.30"}, {2.0 / 3, "0.666666666666667", "0.67"},
            {123456789.123456789, "123456789.123457", "123456789.12"}, {1e-7, "0.0000001", "0.00"},
            {1e20, "100000000000000000000", "100000000000000000000.00"}, {-1234.5e-10, "-0.00000012345", "0.00"},
            {12345678901234567.0, "12345678901234600", "12345678901234568.00"}};
        for (const auto &c : numbers)
            EXPECT_EQ(Variant(c.value).toString() + " " + FormatFixed2(c.value), c.plain + (" " + QString(c.fixed2)));
        bool ok[3] = {};  // a null amount or an infinity is no number, not 0
        EXPECT_EQ(Variant(" 12.5 ").toDouble(ok) + Variant::null().toDouble(ok + 1), 12.5);
        EXPECT_EQ(Variant(std::numeric_limits<double>::infinity()).toInt64(ok + 2), 0);
        EXPECT_TRUE(ok[0] && !ok[1] && !ok[2]);

        QStringList dates{Variant(QDate(2026, 1, 5)).toString(), FormatDate(QDate(987, 12, 31))};
        for (const char *text : {"5/1/2026", "29/02/2024", "29/02/2026", "1/2/26", "2026-01-05", "005/1/2026", ""})
            dates << FormatDate(ParseShortDate(QString::fromLatin1(text)));
        EXPECT_EQ(dates.join('|'), "05/01/2026|31/12/0987|05/01/2026|29/02/2024|||||");
        EXPECT_EQ(Variant("2026-01-05").toDate(), Variant("5/1/2026").toDate());
        // Blank, empty and null all become the one-space literal; other text is not trimmed.
        const struct { Variant value; const char *literal; } quoted[] = {
            {"O'Neil", "'O''Neil'"}, {"''", "''''''"}, {"x'; DROP TABLE t; --", "'x''; DROP TABLE t; --'"},
            {"   ", "' '"}, {"", "' '"}, {Variant::null(), "' '"}, {Variant(), "' '"}, {"  x ", "'  x '"},
            {"\tx", "'\tx'"}, {12.5, "'12.5'"}, {QString(), "' '"}};
        for (const auto &c : quoted)
            EXPECT_EQ(QuoteSql(c.value), c.literal);
    }
    QLocale::setDefault(QLocale::c());
}

using NewDatabase = OpenFolderTest;

TEST_F(NewDatabase, HoldsEmptyTablesTheStatusListAndTheLedgerIndex)
{
    EXPECT_EQ(Rows("Select (Select count(*) from tblUsers)+(Select count(*) from tblTasks)+(Select count(*) from "
                   "tblTransaction)+count(*) from defHeads") + Rows("Select StatusName,StatusID from tblStatus"),
              QStringList({"0", "All|1", "New|2", "Running|3", "On Hold|4", "Finished|5", "Cancelled|6"}));
    // The ledger of one project is read through an index, not by scanning and sorting every entry.
    const QString plan = Rows("EXPLAIN QUERY PLAN Select * from tblTransaction Where UserId='ann' and TaskID =1 "
                              "Order by TransactionDate,Id").join(';');
    EXPECT_TRUE(plan.contains("USING INDEX") && !plan.contains("TEMP B-TREE")) << plan.toStdString();
}

TEST_F(NewDatabase, AnExistingFileIsNeverTouchedAndANewOneIsEncrypted)
{
    ResetProcessState();
    const QByteArray original = BytesOf(DatabasePath());
    for (bool demo : {false, true})
        EXPECT_THROW(CreateDatabaseFile(DatabasePath(), demo), SqlError);
    EXPECT_EQ(BytesOf(DatabasePath()), original);
    // A link at the new file's name, or at a side file's, is not written through and stays where it is.
    const QString victim = Folder() + "/victim", linked = Folder() + "/linked.dat";
    { QFile f(victim); f.open(QIODevice::WriteOnly); f.write("private"); }
    for (const QString &at : {linked, linked + "-journal"}) {
        ASSERT_TRUE(QFile::link(victim, at));
        EXPECT_THROW(CreateDatabaseFile(linked), SqlError);
        EXPECT_EQ(BytesOf(victim) + QFileInfo(at).symLinkTarget(), "private" + victim);
        QFile::remove(at);
    }
    EXPECT_FALSE(QFile::exists(linked));
    const QString made = Folder() + "/made.dat";
    CreateDatabaseFile(made, true);
    for (const QByteArray &bytes : {BytesOf(made), original}) {
        EXPECT_GT(bytes.size(), 4096);
        for (const char *plain : {"SQLite format 3", "demo", "CREATE TABLE", "tblUsers", "Passwd", "Running"})
            EXPECT_FALSE(bytes.contains(plain)) << plain;
    }
    // Each demo task's cost so far is its entries' balance, and each entry books on an existing
    // head of its owner, on the side the head's sign says.
    DataAccess.dataIntialize(made, {}, kDatabasePassword);
    EXPECT_EQ(Rows("Select UserId,Passwd LIKE '$argon2id$%' from tblUsers"), QStringList{"demo|1"});
    EXPECT_EQ(Rows("Select TaskName,StatusName,abs(CostUpToNow-(Select sum(AmountIn)-sum(AmountOut) from "
                   "tblTransaction e Where e.TaskID=t.TaskID and e.UserId=t.UserId))<0.005 from tblTasks t join "
                   "tblStatus s on s.StatusID=t.StatusID Where t.UserId='demo' Order by TaskID"),
              QStringList({"Garden shed|Running|1", "Kitchen refit|New|1", "Community fair stall|Finished|1"}));
    EXPECT_EQ(Scalar("Select count(*) from tblTransaction t Where not exists (Select * from defHeads h Where "
                     "h.Id=t.HeadId and h.UserId=t.UserId and ((h.PlusMinus=0 and t.AmountOut=0) or "
                     "(h.PlusMinus<>0 and t.AmountIn=0)))"), "0");
}

// The program folder's own link into the shared folder is followed; a link found at the database's name
// there, to another file or to none, is refused, and nothing is opened or made through it.
TEST(DataFile, ALinkAtTheDatabasesOwnNameIsRefused)
{
    QTemporaryDir dir;
    const QString prog = dir.filePath("prog/qmk.dat"), data = dir.filePath("data/qmk.dat"), victim = dir.filePath("victim");
    ASSERT_TRUE(QDir().mkpath(dir.filePath("prog")) && QDir().mkpath(dir.filePath("data")) && QFile::link(data, prog));
    CreateDatabaseFile(victim);
    const QByteArray before = BytesOf(victim);
    for (const QString &planted : {victim, dir.filePath("made")}) {
        ASSERT_TRUE(QFile::link(planted, data));
        try {
            SqlCipherEngine engine(prog, kDatabasePassword, false, 0);
            ADD_FAILURE() << "opened through " << planted.toStdString();
        } catch (const SqlError &e) {
            EXPECT_EQ(e.description(), "The database file '" + data + "' was not opened: it is a link to another file, "
                      "which Quillmark never makes. It may have been put there so that Quillmark opens or makes "
                      "that file. Nothing was changed; ask whoever looks after this computer to remove '" + data + "'.");
        }
        QFile::remove(data);
    }
    EXPECT_EQ(BytesOf(victim), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"victim"});
    ASSERT_TRUE(QFile::rename(victim, data));
    EXPECT_NO_THROW(SqlCipherEngine(prog, kDatabasePassword, false, 0));
}

// Whoever is outside the group quillmark and kept from its file or its folder is told to be added to the
// group; a member opens the file; a file of another group gets the system's reason. Run as user 65534.
TEST(DataFile, AUserOutsideTheGroupIsToldToBeAddedToIt)
{
    if (const QByteArray path = qgetenv("QMK_OPEN_AS"); !path.isEmpty()) {  // the unprivileged run
        try {
            SqlCipherEngine engine(QString::fromLocal8Bit(path), kDatabasePassword, false, 0);
            std::cout << "opened" << std::endl;
        } catch (const SqlError &e) {
            std::cout << e.description().toStdString() << std::endl;
        }
        return;
    }
    if (::getuid() != 0)
        GTEST_SKIP() << "only root can give the files to the group quillmark";
    if (!::getgrnam("quillmark")) {
        ASSERT_EQ(QProcess::execute("groupadd", {"--system", "quillmark"}), 0);
    }
    const gid_t quillmark = ::getgrnam("quillmark")->gr_gid;
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(QCoreApplication::applicationFilePath(), dir.filePath("self")));
    ::chmod(QFile::encodeName(dir.path()), 0755);
    const QString box = "You are not allowed to use the shared Quillmark database: ask whoever looks after this "
                        "computer to add you to the group quillmark.";
    // The folder's mode and group, the file's group, whether the user is a member, what the user is told.
    const std::tuple<mode_t, gid_t, gid_t, bool, QString> cases[] = {
        {03770, quillmark, quillmark, false, box}, {0755, 0, quillmark, false, box},
        {03770, quillmark, quillmark, true, "opened"}, {0755, 0, 0, false, "Permission denied"}};
    int n = 0;
    for (const auto &[folderMode, folderGroup, fileGroup, member, told] : cases) {
        const QString folder = dir.filePath(QString::number(++n)), file = folder + "/qmk.dat";
        ASSERT_TRUE(QDir().mkpath(folder));
        CreateDatabaseFile(file);
        ASSERT_TRUE(::chown(QFile::encodeName(file), 0, fileGroup) == 0 && ::chmod(QFile::encodeName(file), 0660) == 0 &&
                    ::chown(QFile::encodeName(folder), 0, folderGroup) == 0 && ::chmod(QFile::encodeName(folder), folderMode) == 0);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QMK_OPEN_AS", file);
        p.setProcessEnvironment(env);
        p.start("setpriv", {"--reuid=65534", "--regid=65534", member ? "--groups=" + QString::number(quillmark) : "--clear-groups",
                            "--", dir.filePath("self"), "--gtest_filter=DataFile.AUserOutsideTheGroupIsToldToBeAddedToIt"});
        ASSERT_TRUE(p.waitForFinished(60000) && p.exitCode() == 0) << p.readAllStandardError().toStdString();
        const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
        EXPECT_TRUE(out.contains(told) && (told == box || !out.contains(box))) << n << out.toStdString();
    }
}
