// Names that differ only in letter case are one name in every alphabet, also in a file that
// another program has written, and the engine's own client still reads the program's files.
#include "TestSupport.h"

#include "shell/frmLogin.h"

#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <sqlcipher/sqlite3.h>

namespace {

class UnicodeNames : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        OpenDatabase();
    }
    QStringList Users() { return Column("Select UserId From tblUsers Order by Id"); }
    // Writes with the engine's own NOCASE (A to Z only), as another program would.
    void WriteAsAnotherProgram(const char *sql)
    {
        ResetProcessState();
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(DatabasePath()).constData(), &db), SQLITE_OK);
        sqlite3_key(db, kDatabasePassword, int(strlen(kDatabasePassword)));
        char *err = nullptr;
        EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
        sqlite3_free(err);
        sqlite3_close(db);
    }
};

TEST_F(UnicodeNames, TheUserEntryRefusesANameInAnotherCaseAndTheLoginFindsIt)
{
    // Simple case folding: final sigma is sigma, capital sharp s is sharp s, but "ss" is not "ß".
    const struct {
        const char *name;
        bool isNew;
    } entries[] = {{"Élodie", true},  {"élodie", false}, {"ÉLODIE", false}, {"Straße", true},
                   {"STRASSE", true}, {"STRAẞE", false}, {"ΣΊΣΥΦΟΣ", true}, {"σίσυφος", false}};
    QStringList stored;
    for (const auto &e : entries) {
        SCOPED_TRACE(e.name);
        if (e.isNew)
            stored << QString::fromUtf8(e.name);
        else
            boxes.Expect();
        const int before = boxes.Count();
        SaveUserThroughWindow(QString::fromUtf8(e.name), "pw");
        EXPECT_EQ(boxes.Count() - before, e.isNew ? 0 : 1);
    }
    EXPECT_EQ(Users(), stored);
    for (const auto &box : boxes.Shown())
        EXPECT_EQ(box.prompt, "User Already Exists !");

    frmLogin login;
    login.show();
    QApplication::processEvents();
    TypeText(login.txtUserName, "élodie");
    TypeText(login.txtPassword, "pw");
    Press(login.txtPassword, Qt::Key_Return);
    EXPECT_EQ(CurrentUserId, "Élodie");
}

TEST_F(UnicodeNames, AFileWrittenByAnotherProgramIsSortedAgainWhenOpened)
{
    // The engine's NOCASE sorts "Éz" before "éa"; the program's sorts it after, so a look-up
    // through the index finds it only once the index is sorted again.
    WriteAsAnotherProgram("INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (1,'found',0,'Éz');"
                          "WITH RECURSIVE n(i) AS (SELECT 2 UNION ALL SELECT i + 1 FROM n WHERE i < 40) "
                          "INSERT INTO defHeads SELECT i, 'other', 0, 'éa' FROM n;");
    OpenDatabase();
    EXPECT_EQ(boxes.Count(), 0);
    EXPECT_EQ(Column("Select Heads From defHeads Where UserId='ÉZ'"), QStringList{"found"});
    EXPECT_EQ(Scalar("PRAGMA integrity_check"), "ok");

    // Two users that are one name for the program: the file is only read, and the user is told.
    WriteAsAnotherProgram("INSERT INTO tblUsers VALUES (1,'Élodie','a'); INSERT INTO tblUsers VALUES (2,'élodie','b');");
    const QByteArray before = BytesOf(DatabasePath());
    boxes.Expect();
    DataAccess.dataIntialize(DatabasePath(), {}, kDatabasePassword);
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_TRUE(boxes.Shown()[0].prompt.contains("cannot be saved")) << boxes.Shown()[0].prompt.toStdString();
    EXPECT_TRUE(SharedConnection.IsOpen());
    boxes.Expect();
    DataAccess.AddNew("tblUsers", "UserID<<>>Passwd", "'ann'<<>>'pw'", "Id", "<<>>");
    ResetProcessState();
    EXPECT_EQ(BytesOf(DatabasePath()), before);
}

TEST_F(UnicodeNames, TheEnginesOwnClientReadsTheProgramsFile)
{
    const QString client = QStandardPaths::findExecutable("sqlcipher");
    if (client.isEmpty())
        GTEST_SKIP() << "the sqlcipher client is not installed";
    SaveUserThroughWindow("Élodie", "pw");
    ResetProcessState();  // as when the program ends
    QProcess p;
    p.start(client, {DatabasePath()});
    p.write("PRAGMA key='quorvandelix';\nPRAGMA journal_mode;\nSELECT UserId FROM tblUsers;\n"
            "SELECT count(*) FROM tblStatus;\nSELECT count(*) FROM tblTasks;\n"
            "SELECT count(*) FROM tblTransaction;\nSELECT count(*) FROM defHeads;\n");
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(10000));
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(p.readAllStandardError(), "");
    // A plain rollback-journal file (SQLCipher 4 also answers "ok" to the key).
    EXPECT_EQ(lines.mid(lines.size() - 6), (QStringList{"delete", "Élodie", "6", "0", "0", "0"}));
}

}  // namespace
