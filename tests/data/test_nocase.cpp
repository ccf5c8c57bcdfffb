// Names that differ only in letter case are one name in every alphabet, and the engine's own
// client still reads the program's files.
#include "TestSupport.h"

#include "shell/MyFunMain.h"

#include <QProcess>
#include <QStandardPaths>

namespace {

using UnicodeNames = ProgramFolderTest;

TEST_F(UnicodeNames, TheUserEntryRefusesANameInAnotherCaseTheLoginFindsItAndTheClientReadsIt)
{
    OpenDatabase();
    // Simple case folding: final sigma is sigma, capital sharp s is sharp s, but "ss" is not "ß".
    const QString names[] = {"Élodie", "élodie", "ÉLODIE", "Straße", "STRASSE", "STRAẞE", "ΣΊΣΥΦΟΣ", "σίσυφος"};
    const bool isNew[] = {true, false, false, true, true, false, true, false};
    QStringList stored;
    for (int i = 0; i < 8; ++i) {
        if (isNew[i])
            stored << names[i];
        else
            boxes.Expect();
        SaveUserThroughWindow(names[i], "pw");
    }
    EXPECT_EQ(Column("Select UserId From tblUsers Order by Id"), stored);
    for (const auto &box : boxes.Shown())
        EXPECT_EQ(box.prompt, "User Already Exists !");

    ScriptedModals modals;
    ScriptLogin(modals, "élodie", "pw");
    Main();
    EXPECT_EQ(CurrentUserId, "Élodie");

    const QString client = QStandardPaths::findExecutable("sqlcipher");
    if (client.isEmpty())
        GTEST_SKIP() << "the sqlcipher client is not installed";
    ResetProcessState();  // as when the program ends
    QProcess p;
    p.start(client, {DatabasePath()});
    p.write("PRAGMA key='quorvandelix';\nPRAGMA journal_mode;\nSELECT UserId FROM tblUsers ORDER BY Id;\n"
            "SELECT (SELECT count(*) FROM tblStatus)||(SELECT count(*) FROM tblTasks)||"
            "(SELECT count(*) FROM tblTransaction)||(SELECT count(*) FROM defHeads);\n");
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(10000));
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(p.readAllStandardError(), "");
    // A plain rollback-journal file (SQLCipher 4 also answers "ok" to the key).
    EXPECT_EQ(lines.mid(lines.size() - 6), QStringList{"delete"} + stored + QStringList{"6000"});
}

}  // namespace
