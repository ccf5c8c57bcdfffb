// Damaged and unusual database files met at start-up, and a disk that fills up: one clear "Error"
// box with the engine's reason, the master login still works, and nothing stored is lost.
#include "TestSupport.h"

#include "data/NewDatabase.h"
#include "shell/MyFunMain.h"
#include "shell/frmMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <optional>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Lets the program read the folder's files but not write them. Root writes to any file, so as
// root the program runs as the user nobody meanwhile; other users lose the write bits.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString &folder) : m_folder(QFile::encodeName(folder))
    {
        m_asNobody = geteuid() == 0;
        ::chmod(m_folder.constData(), m_asNobody ? 0755 : 0555);
        ::chmod((m_folder + "/qmk.dat").constData(), 0444);
        if (m_asNobody) {
            EXPECT_EQ(::seteuid(65534), 0);
        }
        m_usable = ::access((m_folder + "/qmk.dat").constData(), R_OK) == 0;
    }
    // False when the folders above cannot be passed by the user the program runs as.
    bool Usable() const { return m_usable; }
    ~ReadOnlyFolder()
    {
        if (m_asNobody) {
            EXPECT_EQ(::seteuid(0), 0);
        }
        ::chmod(m_folder.constData(), 0755);
    }

private:
    QByteArray m_folder;
    bool m_asNobody = false;
    bool m_usable = false;
};

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

struct StartUpCase {
    const char *name;
    const char *folder;                           // the program folder below the test's own
    std::function<void(const QString &)> damage;  // done to qmk.dat before start-up
    bool readOnly;
    QStringList says;  // what the one "Error" box holds; no box when empty
    bool opens;
};

void PrintTo(const StartUpCase &c, std::ostream *os) { *os << c.name; }

const StartUpCase kStartUpCases[] = {
    {"MissingFile", "", [](const QString &db) { QFile::remove(db); }, false, {"Could not find", "qmk.dat"}, false},
    {"NotADatabase", "", [](const QString &db) { writeFile(db, QByteArray(5000, 'x')); }, false,
     {"qmk.dat", "not a database"}, false},
    {"Truncated", "", [](const QString &db) { QFile::resize(db, QFileInfo(db).size() * 2 / 3); }, false,
     {"qmk.dat", "malformed"}, false},
    {"WrongKey", "",
     [](const QString &db) {
         QFile::remove(db);
         Connection::CreateFile(db, "another password")->ExecuteScript("CREATE TABLE tblUsers (Id INTEGER);");
     },
     false, {"qmk.dat", "password"}, false},
    {"ReadOnly", "", [](const QString &) {}, true, {"cannot be saved", "qmk.dat", "readonly"}, true},
    // A file still in write-ahead-log mode, as a killed program leaves it, in a folder that
    // cannot hold the log's files.
    {"ReadOnlyLeftInLogMode", "",
     [](const QString &db) {
         Connection open;
         open.Open("dbq=" + db, {}, kDatabasePassword);
         const QByteArray inLogMode = BytesOf(db);
         open.Close();
         writeFile(db, inLogMode);
     },
     true, {"cannot be saved", "qmk.dat"}, true},
    // A folder name that looks like a further attribute of the connection text.
    {"FolderNamedLikeAnAttribute", "/q;lang=en", [](const QString &) {}, false, {}, true},
};

class StartUp : public ProgramFolderTest, public ::testing::WithParamInterface<StartUpCase> {
protected:
    ScriptedModals modals;
};

TEST_P(StartUp, TellsOnceAndTheMasterLoginStillWorks)
{
    const StartUpCase &c = GetParam();
    const QString folder = Folder() + c.folder;
    if (folder != Folder()) {
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(QFile::rename(DatabasePath(), folder + "/qmk.dat"));
        ui::SetAppPath(folder);
    }
    const QString db = folder + "/qmk.dat";
    c.damage(db);
    const QByteArray before = BytesOf(db);
    if (c.readOnly && !ReadOnlyFolder(folder).Usable())
        GTEST_SKIP() << "the program could not read " << db.toStdString() << " as the user nobody";
    if (!c.says.isEmpty())
        boxes.Expect();
    ScriptLogin(modals, "sysop", "quorvandelix");
    {
        std::optional<ReadOnlyFolder> readOnly;
        if (c.readOnly)
            readOnly.emplace(folder);
        Main();
        ASSERT_TRUE(frmMain::IsOpen());
        EXPECT_EQ(frmMain::Instance()->windowTitle(), "Quillmark v1.0 DEMO :: sysop");
        EXPECT_EQ(SharedConnection.IsOpen(), c.opens);
        if (c.opens) {  // what is stored can be read
            EXPECT_EQ(Scalar("Select StatusName From tblStatus Where StatusID=2"), "New");
        }
    }
    ASSERT_EQ(boxes.Count(), c.says.isEmpty() ? 0 : 1);
    if (c.says.isEmpty())
        return;
    const ui::MessageBoxRequest &box = boxes.Shown()[0];
    EXPECT_EQ(box.title, "Error");
    EXPECT_EQ(box.icon, ui::Icon::Critical);
    for (const QString &part : c.says)
        EXPECT_TRUE(box.prompt.contains(part)) << box.prompt.toStdString();

    // A save is refused with the engine's reason, and the file stays as it was.
    boxes.Expect();
    DataAccess.AddNew("tblUsers", "UserID<<>>Passwd", "'ann'<<>>'pw'", "Id", "<<>>");
    EXPECT_EQ(boxes.Count(), 2);
    ResetProcessState();
    EXPECT_EQ(BytesOf(db), before);
    EXPECT_EQ(QFile::exists(db), c.name != std::string("MissingFile"));
}

INSTANTIATE_TEST_SUITE_P(Files, StartUp, ::testing::ValuesIn(kStartUpCases),
                         [](const auto &info) { return std::string(info.param.name); });

// A size-limited file system that the test fills up; skipped where nothing can be mounted.
class FullDisk : public ProgramFolderTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        m_disk = Folder() + "/disk";
        ASSERT_TRUE(QDir().mkpath(m_disk));
        if (::mount("tmpfs", QFile::encodeName(m_disk).constData(), "tmpfs", 0, "size=512k") != 0)
            GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
        m_mounted = true;
        ui::SetAppPath(m_disk);
        CreateDatabaseFile(m_disk + "/qmk.dat");
        DataAccess.dataIntialize(m_disk + "/qmk.dat", {}, kDatabasePassword);
        DataAccess.AddNew("tblUsers", "UserID<<>>Passwd", "'ann'<<>>'pw'", "Id", "<<>>");
        ResetProcessState();
    }
    void TearDown() override
    {
        ProgramFolderTest::TearDown();
        if (m_mounted)
            ::umount2(QFile::encodeName(m_disk).constData(), MNT_DETACH);
    }
    void Fill()
    {
        const int fd = ::open(QFile::encodeName(m_disk + "/filler").constData(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        const QByteArray block(4096, 'f');
        while (::write(fd, block.constData(), size_t(block.size())) > 0) {
        }
        ::close(fd);
    }
    QString m_disk;
    bool m_mounted = false;
    ScriptedModals modals;
};

TEST_P(FullDisk, ASaveThatMeetsItIsRefusedWithItsOwnBoxAndLosesNothing)
{
    const bool fullAtStartUp = GetParam();
    if (fullAtStartUp)
        Fill();
    ScriptLogin(modals, "sysop", "quorvandelix");
    Main();
    ASSERT_TRUE(frmMain::IsOpen());
    EXPECT_EQ(boxes.Count(), 0) << "reading needs no room";
    if (!fullAtStartUp)
        Fill();

    boxes.Expect();
    SaveUserThroughWindow("bob", "pw");
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Shown()[0].title, "Error");
    EXPECT_TRUE(boxes.Shown()[0].prompt.contains("full")) << boxes.Shown()[0].prompt.toStdString();

    // With room again the file is whole, holds what it held, and takes the same save.
    ASSERT_TRUE(QFile::remove(m_disk + "/filler"));
    EXPECT_EQ(Scalar("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(Column("Select UserId From tblUsers"), QStringList{"ann"});
    SaveUserThroughWindow("bob", "pw");
    EXPECT_EQ(Column("Select UserId From tblUsers"), (QStringList{"ann", "bob"}));
}

INSTANTIATE_TEST_SUITE_P(Disk, FullDisk, ::testing::Values(false, true),
                         [](const auto &info) { return std::string(info.param ? "AtStartUp" : "AfterLogin"); });

}  // namespace
