// Damaged, unusual and foreign database files at start-up, a read-only folder and a full disk: one
// clear "Error" box with the engine's reason, the master login still works, and nothing stored is lost.
#include "DataTest.h"

#include "shell/MyFunMain.h"
#include "shell/frmMain.h"

#include <QDir>
#include <QFileInfo>
#include <fstream>
#include <sys/mount.h>
#include <unistd.h>

// Fills the disk that holds the file.
void Fill(const QString &db)
{
    for (std::ofstream f(db.toStdString() + "-fill"); f << std::string(4096, 'f');) {
    }
}

// Makes the small file system that holds the program folder read-only, even for root.
void ReadOnly(const QString &db)
{
    ASSERT_EQ(::mount("", QFile::encodeName(QFileInfo(db).path()).constData(), "", MS_REMOUNT | MS_RDONLY, ""), 0);
}

// Puts a link (symbolic, or a second name) at a side file's name, to a file of the user running the program.
void Plant(const QString &db, const char *suffix, bool symbolic)
{
    std::ofstream(db.toStdString() + "-victim") << "private";
    const QByteArray victim = QFile::encodeName(db + "-victim"), side = QFile::encodeName(db + suffix);
    ASSERT_EQ(symbolic ? ::symlink(victim.constData(), side.constData()) : ::link(victim.constData(), side.constData()), 0);
}

struct StartUpCase {
    const char *name;
    std::function<void(const QString &)> damage;  // done to qmk.dat before start-up
    bool opens;
    QStringList says;         // what the one "Error" box at start-up holds; no box when empty
    const char *saving = "";  // what the box refusing a save holds; "-" when the file takes saves
    const char *heads = "";   // the heads of the user "ÉZ", when the file opens
    // The program folder, named like a further attribute of the connection text; when mounted, on a
    // small file system of its own (skipped where none can be mounted).
    const char *folder = "/q;lang=en";
    bool mounted = false;
};

const StartUpCase kStartUpCases[] = {
    {"MissingFile", [](const QString &db) { QFile::remove(db); }, false, {"Could not find", "qmk.dat"}},
    {"Folder", [](const QString &db) { QFile::remove(db), QDir().mkdir(db); }, false, {"qmk.dat", "not a database"}},
    {"Empty", [](const QString &db) { QFile::resize(db, 0); }, false, {"qmk.dat", "empty"}},
    {"NotADatabase", [](const QString &db) { std::ofstream(db.toStdString()) << std::string(5000, 'x'); }, false,
     {"qmk.dat", "not a database"}},
    {"Truncated", [](const QString &db) { QFile::resize(db, QFileInfo(db).size() * 2 / 3); }, false,
     {"qmk.dat", "malformed"}, "", "", "/q;lang=en;"},
    {"WrongKey", [](const QString &db) { AsAnotherProgram(db, "PRAGMA rekey='another password'"); }, false,
     {"qmk.dat", "password"}},
    {"ReadOnly", ReadOnly, true, {"cannot be saved", "qmk.dat", "readonly"}, "", "", "/ro", true},
    // As a killed program leaves it, in a folder that cannot hold the log's files.
    {"ReadOnlyLeftInLogMode", [](const QString &db) { AsAnotherProgram(db, "PRAGMA journal_mode=WAL"), ReadOnly(db); },
     true, {"cannot be saved", "qmk.dat"}, "", "", "/ro", true},
    // The engine's NOCASE sorts "Éz" before "éa", the program's after: a look-up through the index
    // finds "Éz" only once the index is sorted again.
    {"NamesSortedByAnotherProgram", [](const QString &db) { AsAnotherProgram(db, "INSERT INTO defHeads VALUES "
         "(1,'found',0,'Éz'); WITH RECURSIVE n(i) AS (SELECT 2 UNION ALL SELECT i + 1 FROM n WHERE i < 40) "
         "INSERT INTO defHeads SELECT i,'other',0,'éa' FROM n;"); }, true, {}, "-", "found"},
    // Two users that are one name for the program: the file is only read, and the user is told.
    {"OneNameTwiceByAnotherProgram",
     [](const QString &db) { AsAnotherProgram(db, "INSERT INTO tblUsers VALUES (1,'Élodie','a'),(2,'élodie','b');"); },
     true, {"cannot be saved"}},
    {"DiskFull", Fill, true, {}, "full", "", "/disk", true},
    // What anyone who may write the shared file could add to run inside the engine: refused before it runs.
    {"View", [](const QString &db) { AsAnotherProgram(db, "CREATE VIEW v AS SELECT Passwd FROM tblUsers"); }, false,
     {"qmk.dat", "never makes (view \"v\")", "nothing in it was run or changed"}},
    {"Trigger", [](const QString &db) { AsAnotherProgram(db, "CREATE TRIGGER t AFTER INSERT ON tblUsers BEGIN "
                                                                 "DELETE FROM tblStatus; END"); }, false, {"trigger \"t\""}},
    {"VirtualTable", [](const QString &db) { AsAnotherProgram(db, "CREATE VIRTUAL TABLE f USING fts4(x)"); }, false,
     {"table \"f\""}},
    {"UnknownTable", [](const QString &db) { AsAnotherProgram(db, "CREATE TABLE extra (x)"); }, false, {"\"extra\""}},
    {"OwnIndexRedefined", [](const QString &db) { AsAnotherProgram(db, "DROP INDEX ixHeadsByUser; CREATE INDEX "
                                                                       "ixHeadsByUser ON defHeads (lower(Heads))"); },
     false, {"index \"ixHeadsByUser\""}},
    // Side files put in the way by another user of a shared folder lead to a file of the user starting
    // the program: it is not opened, and that file stays as it was.
    {"LinkAsLog", [](const QString &db) { Plant(db, "-wal", true); }, false, {"qmk.dat-wal' is a link", "remove"}},
    {"LinkAsIndex", [](const QString &db) { Plant(db, "-shm", true); }, false, {"qmk.dat-shm' is a link"}},
    {"SecondNameAsJournal", [](const QString &db) { Plant(db, "-journal", false); }, false,
     {"qmk.dat-journal' is a second name"}},
};

class StartUp : public ProgramFolderTest, public ::testing::WithParamInterface<StartUpCase> {
    void TearDown() override
    {
        ProgramFolderTest::TearDown();
        ::umount2(QFile::encodeName(Folder() + GetParam().folder).constData(), MNT_DETACH);
    }
};

TEST_P(StartUp, TellsOnceAndTheMasterLoginStillWorks)
{
    const StartUpCase &c = GetParam();
    const QString folder = Folder() + c.folder, db = folder + "/qmk.dat";
    ASSERT_TRUE(QDir().mkpath(folder));
    if (c.mounted && ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=512k") != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    ASSERT_TRUE(QFile::rename(DatabasePath(), db));
    ui::SetAppPath(folder);
    c.damage(db);
    const QByteArray before = BytesOf(db);
    if (c.saving != QString("-"))
        boxes.Expect();  // at start-up, or refusing a save
    {
        ScriptedModals modals;
        ScriptLogin(modals, "sysop", "quorvandelix");
        Main();
    }
    ASSERT_TRUE(frmMain::IsOpen());
    ASSERT_EQ(SharedConnection.IsOpen(), c.opens);
    if (c.opens) {  // what is stored can be read
        EXPECT_EQ(Scalar("Select StatusName From tblStatus Where StatusID=2") +
                      Scalar("Select Heads From defHeads Where UserId='ÉZ'"), "New" + QString(c.heads));
    }
    ASSERT_EQ(boxes.Count(), c.says.isEmpty() ? 0 : 1);
    for (const QString &part : c.says)
        EXPECT_TRUE(boxes.Shown()[0].prompt.contains(part)) << boxes.Shown()[0].prompt.toStdString();
    if (c.saving != QString("-")) {  // a save is refused with the engine's reason, and the file stays as it was
        if (!c.says.isEmpty())
            boxes.Expect();
        DataAccess.AddNew("tblUsers", "UserID<<>>Passwd", "'ann'<<>>'pw'", "Id", "<<>>");
    }
    for (const ui::MessageBoxRequest &box : boxes.Shown())
        EXPECT_TRUE(box.title == "Error" && box.icon == ui::Icon::Critical && box.prompt.contains(c.saving));
    ResetProcessState();
    EXPECT_EQ(BytesOf(db) == before, c.saving != QString("-"));
    EXPECT_EQ(QFile::exists(db), c.name != std::string("MissingFile"));
    EXPECT_TRUE(!QFile::exists(db + "-victim") || BytesOf(db + "-victim") == "private");
}

INSTANTIATE_TEST_SUITE_P(Files, StartUp, ::testing::ValuesIn(kStartUpCases),
                         [](const auto &info) { return std::string(info.param.name); });
