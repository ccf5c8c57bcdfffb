// The database maker: the layout of a new file, the demo content, encryption, and that an
// existing file is never touched (by the function or by the qmk-initdb tool).
#include "TestSupport.h"

#include "data/NewDatabase.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

namespace {

class NewDatabase : public ProgramFolderTest {
protected:
    void Open(const QString &path)
    {
        ResetProcessState();
        DataAccess.dataIntialize(path, QString(), QString::fromLatin1(kDatabasePassword), QString());
        ASSERT_TRUE(SharedConnection.IsOpen());
    }
    // Runs the qmk-initdb tool (named by QMK_INITDB under ctest, else beside the tests folder);
    // answers its exit code, or -1 when it did not run to its end.
    static int RunTool(const QStringList &arguments)
    {
        QString tool = qEnvironmentVariable("QMK_INITDB");
        if (tool.isEmpty())
            tool = QCoreApplication::applicationDirPath() + "/../bin/qmk-initdb";
        QProcess p;
        p.start(tool, arguments);
        return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
};

TEST_F(NewDatabase, HoldsEmptyTablesTheStatusListAndTheLedgerIndex)
{
    OpenDatabase();
    EXPECT_EQ(Scalar("Select (Select count(*) from tblUsers)+(Select count(*) from tblTasks)+"
                     "(Select count(*) from tblTransaction)+(Select count(*) from defHeads)"), "0");
    // Numbered from 1 without gaps, in order without an Order by, "All" first.
    EXPECT_EQ(Column("Select StatusName||'='||StatusID From tblStatus"),
              QStringList({"All=1", "New=2", "Running=3", "On Hold=4", "Finished=5", "Cancelled=6"}));

    // The ledger of one project is read through an index, not by scanning and sorting every entry.
    const auto rs = SharedConnection.Execute("EXPLAIN QUERY PLAN Select * from tblTransaction Where UserId='ann' "
                                             "and TaskID =1 Order by TransactionDate,Id");
    QString detail;
    for (; !rs->Eof(); rs->MoveNext())
        detail += rs->Fields("detail").toString() + ";";
    EXPECT_TRUE(detail.contains("USING INDEX")) << detail.toStdString();
    EXPECT_FALSE(detail.contains("TEMP B-TREE")) << detail.toStdString();
}

TEST_F(NewDatabase, AnExistingFileIsNeverTouched)
{
    const QString other = Folder() + "/notes.txt";
    QFile f(other);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("keep me") == 7);
    f.close();
    const QByteArray original = BytesOf(DatabasePath());
    ASSERT_FALSE(original.isEmpty());
    for (const QString &path : {DatabasePath(), other})
        for (bool demo : {false, true})
            EXPECT_THROW(CreateDatabaseFile(path, demo), SqlError) << path.toStdString() << demo;
    for (const QStringList &arguments : {QStringList{DatabasePath()}, {DatabasePath(), "--demo"}, {other}, {}})
        EXPECT_NE(RunTool(arguments), 0) << arguments.join(' ').toStdString();
    EXPECT_EQ(BytesOf(DatabasePath()), original);
    EXPECT_EQ(BytesOf(other), QByteArray("keep me"));

    // A new name is made, and opens with the program's password.
    const QString made = Folder() + "/made.dat";
    EXPECT_EQ(RunTool({made, "--demo"}), 0);
    Open(made);
    EXPECT_EQ(Scalar("Select UserId from tblUsers Where UserId='demo'"), "demo");
}

TEST_F(NewDatabase, DemoContentIsConsistentAndTheFileIsEncrypted)
{
    const QString demo = Folder() + "/demo.dat";
    CreateDatabaseFile(demo, true);
    Open(demo);
    EXPECT_EQ(Column("Select * from tblUsers Where UserId='demo' And Passwd='demo'").size(), 1);
    const QStringList tasks = Column("Select TaskID from tblTasks Where UserId='demo'");
    ASSERT_FALSE(tasks.isEmpty());
    CTemplate dao;
    for (const QString &task : tasks) {
        SCOPED_TRACE(task.toStdString());
        dao.ExecuteSql("Select sum(amountIn),Sum(amountOut) from tblTransaction Where userid='demo' and TaskID =" + task);
        const double in = SharedRecordset->Fields(0).toDouble(), out = SharedRecordset->Fields(1).toDouble();
        EXPECT_GT(in + out, 0);
        EXPECT_NEAR(dao.CodeDecode(task, "TaskID", "tblTasks", "CostUpToNow").toDouble(), in - out, 0.005);
        const QString status = dao.CodeDecode(task, "TaskID", "tblTasks", "StatusID").toString();
        EXPECT_FALSE(dao.CodeDecode(status, "StatusID", "tblStatus", "StatusName").isEmpty());
    }
    // Each entry books on an existing head of its owner, on the side the head's sign says.
    EXPECT_EQ(Scalar("Select count(*) from tblTransaction t Where not exists (Select * from defHeads h Where "
                     "h.Id=t.HeadId and h.UserId=t.UserId and ((h.PlusMinus=0 and t.AmountOut=0) or "
                     "(h.PlusMinus<>0 and t.AmountIn=0)))"),
              "0");
    EXPECT_EQ(boxes.Count(), 0);

    ResetProcessState();
    for (const QString &path : {demo, DatabasePath()}) {
        const QByteArray bytes = BytesOf(path);
        ASSERT_GT(bytes.size(), 4096);
        for (const char *plain : {"SQLite format 3", "demo", "CREATE TABLE", "tblUsers", "Passwd", "Running"})
            EXPECT_FALSE(bytes.contains(plain)) << plain;
    }
}

}  // namespace
