// Damaged, unusual and foreign database files met at start-up, and a disk that fills up: one clear
// "Error" box with the engine's reason, the master login still works, and nothing stored is lost.
#include "TestSupport.h"

#include "shell/MyFunMain.h"
#include "shell/frmMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <optional>
#include <sqlcipher/sqlite3.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Lets the program read the folder's files but not write them. Root writes to any file, so as
// root the program runs as the user nobody meanwhile; other users lose the write bits.
struct ReadOnlyFolder {
    const QByteArray dir, file;
    const bool asNobody = geteuid() == 0;
    explicit ReadOnlyFolder(const QString &folder) : dir(QFile::encodeName(folder)), file(dir + "/qmk.dat")
    {
        ::chmod(dir.constData(), asNobody ? 0755 : 0555);
        ::chmod(file.constData(), 0444);
        EXPECT_TRUE(!asNobody || ::seteuid(65534) == 0);
    }
    ~ReadOnlyFolder()
    {
        EXPECT_TRUE(!asNobody || ::seteuid(0) == 0);
        ::chmod(dir.constData(), 0755);
    }
    // False when the folders above cannot be passed by the user the program runs as.
    bool Usable() const { return ::faccessat(AT_FDCWD, file.constData(), R_OK, AT_EACCESS) == 0; }
};

// Writes the bytes to a file; with untilFull, again and again until the disk is full.
void Write(const QString &path, const QByteArray &bytes, bool untilFull = false)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    while (f.write(bytes) > 0 && untilFull) {
    }
}

// Writes to a file with the engine's own NOCASE (A to Z only), as another program would.
void AsAnotherProgram(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    sqlite3_key(db, kDatabasePassword, int(strlen(kDatabasePassword)));
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

struct StartUpCase {
    const char *name;
    std::function<void(const QString &)> damage;  // done to qmk.dat before start-up
    bool readOnly, opens;
    QStringList says;   // what the one "Error" box holds; no box when empty
    QStringList heads;  // the heads of the user "ÉZ", when the file opens
    // The program folder, named like a further attribute of the connection text.
    const char *folder = "/q;lang=en";
};
void PrintTo(const StartUpCase &c, std::ostream *os) { *os << c.name; }

const StartUpCase kStartUpCases[] = {
    {"MissingFile", [](const QString &db) { QFile::remove(db); }, false, false, {"Could not find", "qmk.dat"}, {}},
    {"Empty", [](const QString &db) { QFile::resize(db, 0); }, false, false, {"qmk.dat", "empty"}, {}},
    {"NotADatabase", [](const QString &db) { Write(db, QByteArray(5000, 'x')); }, false, false,
     {"qmk.dat", "not a database"}, {}},
    {"Truncated", [](const QString &db) { QFile::resize(db, QFileInfo(db).size() * 2 / 3); }, false, false,
     {"qmk.dat", "malformed"}, {}},
    {"WrongKey", [](const QString &db) { AsAnotherProgram(db, "PRAGMA rekey='another password'"); }, false, false,
     {"qmk.dat", "password"}, {}},
    {"ReadOnly", [](const QString &) {}, true, true, {"cannot be saved", "qmk.dat", "readonly"}, {}},
    // As a killed program leaves it, in a folder that cannot hold the log's files.
    {"ReadOnlyLeftInLogMode", [](const QString &db) { AsAnotherProgram(db, "PRAGMA journal_mode=WAL"); }, true, true,
     {"cannot be saved", "qmk.dat"}, {}, "/q;lang=en;"},
    // The engine's NOCASE sorts "Éz" before "éa"; the program's sorts it after, so a look-up
    // through the index finds it only once the index is sorted again.
    {"NamesSortedByAnotherProgram",
     [](const QString &db) {
         AsAnotherProgram(db, "INSERT INTO defHeads VALUES (1,'found',0,'Éz'); WITH RECURSIVE n(i) AS (SELECT 2 "
                              "UNION ALL SELECT i + 1 FROM n WHERE i < 40) "
                              "INSERT INTO defHeads SELECT i,'other',0,'éa' FROM n;");
     },
     false, true, {}, {"found"}},
    // Two users that are one name for the program: the file is only read, and the user is told.
    {"OneNameTwiceByAnotherProgram",
     [](const QString &db) { AsAnotherProgram(db, "INSERT INTO tblUsers VALUES (1,'Élodie','a'),(2,'élodie','b');"); },
     false, true, {"cannot be saved"}, {}},
};

class StartUp : public ProgramFolderTest, public ::testing::WithParamInterface<StartUpCase> {
protected:
    ScriptedModals modals;
};

TEST_P(StartUp, TellsOnceAndTheMasterLoginStillWorks)
{
    const StartUpCase &c = GetParam();
    const QString folder = Folder() + c.folder, db = folder + "/qmk.dat";
    ASSERT_TRUE(QDir().mkpath(folder) && QFile::rename(DatabasePath(), db));
    ::chmod(QFile::encodeName(Folder()).constData(), 0755);  // the user nobody passes it
    ui::SetAppPath(folder);
    c.damage(db);
    const QByteArray before = BytesOf(db);
    {
        std::optional<ReadOnlyFolder> readOnly;
        if (c.readOnly && !readOnly.emplace(folder).Usable())
            GTEST_SKIP() << "the program could not read " << db.toStdString() << " as the user nobody";
        if (!c.says.isEmpty())
            boxes.Expect();
        ScriptLogin(modals, "sysop", "quorvandelix");
        Main();
        ASSERT_TRUE(frmMain::IsOpen());
        ASSERT_EQ(SharedConnection.IsOpen(), c.opens);
        if (c.opens) {  // what is stored can be read
            EXPECT_EQ(Scalar("Select StatusName From tblStatus Where StatusID=2"), "New");
            EXPECT_EQ(Column("Select Heads From defHeads Where UserId='ÉZ'"), c.heads);
        }
    }
    if (c.says.isEmpty() || boxes.Count() != 1)
        return;
    EXPECT_EQ(boxes.Shown()[0].title, "Error");
    for (const QString &part : c.says)
        EXPECT_TRUE(boxes.Shown()[0].prompt.contains(part)) << boxes.Shown()[0].prompt.toStdString();

    // A save is refused with the engine's reason, and the file stays as it was.
    boxes.Expect();
    DataAccess.AddNew("tblUsers", "UserID<<>>Passwd", "'ann'<<>>'pw'", "Id", "<<>>");
    ResetProcessState();
    EXPECT_EQ(BytesOf(db), before);
    EXPECT_EQ(QFile::exists(db), c.name != std::string("MissingFile"));
}

INSTANTIATE_TEST_SUITE_P(Files, StartUp, ::testing::ValuesIn(kStartUpCases),
                         [](const auto &info) { return std::string(info.param.name); });

// A size-limited file system that the test fills up, at start-up or after the login; skipped
// where nothing can be mounted.
class FullDisk : public ProgramFolderTest, public ::testing::WithParamInterface<bool> {
protected:
    void TearDown() override
    {
        ProgramFolderTest::TearDown();
        ::umount2(QFile::encodeName(Folder() + "/disk").constData(), MNT_DETACH);
    }
};

TEST_P(FullDisk, ASaveThatMeetsItIsRefusedWithItsOwnBoxAndLosesNothing)
{
    const QString disk = Folder() + "/disk";
    ASSERT_TRUE(QDir().mkpath(disk));
    if (::mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=512k") != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    AsAnotherProgram(DatabasePath(), "INSERT INTO tblUsers VALUES (1,'ann','pw')");
    ASSERT_TRUE(QFile::copy(DatabasePath(), disk + "/qmk.dat"));
    ui::SetAppPath(disk);
    const auto fill = [&] { Write(disk + "/filler", QByteArray(4096, 'f'), true); };
    if (!GetParam())
        fill();
    ScriptedModals modals;
    ScriptLogin(modals, "sysop", "quorvandelix");
    Main();  // reading needs no room
    ASSERT_TRUE(frmMain::IsOpen());
    if (GetParam())
        fill();
    boxes.Expect();
    SaveUserThroughWindow("bob", "pw");
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_TRUE(boxes.Shown()[0].title == "Error" && boxes.Shown()[0].prompt.contains("full"))
        << boxes.Shown()[0].prompt.toStdString();

    // With room again the file is whole, holds what it held, and takes the same save.
    ASSERT_TRUE(QFile::remove(disk + "/filler"));
    EXPECT_EQ(Scalar("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(Column("Select UserId From tblUsers"), QStringList{"ann"});
    SaveUserThroughWindow("bob", "pw");
    EXPECT_EQ(Column("Select UserId From tblUsers"), (QStringList{"ann", "bob"}));
}

INSTANTIATE_TEST_SUITE_P(Disk, FullDisk, ::testing::Values(false, true),
                         [](const auto &info) { return std::string(info.param ? "AfterLogin" : "AtStartUp"); });

}  // namespace
