// The database maker: the layout of a new file, the demo content, encryption, and that an
// existing file is never touched (by the function or by the qmk-initdb tool).
#include "TestSupport.h"

#include "data/CTemplate.h"
#include "data/MyFun.h"
#include "data/NewDatabase.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <cmath>

namespace {

class NewDatabase : public ProgramFolderTest {
protected:
    QStringList ColumnsOf(const QString &table)
    {
        const auto rs = SharedConnection.Execute("Select * from " + table);
        QStringList names;
        for (int i = 0; i < rs->FieldCount(); ++i)
            names << rs->FieldName(i);
        return names;
    }
    void Open(const QString &path)
    {
        ResetProcessState();
        DataAccess.dataIntialize(path, QString(), QString::fromLatin1(kDatabasePassword), QString());
        ASSERT_TRUE(SharedConnection.IsOpen());
    }
    // The qmk-initdb tool: named by QMK_INITDB under ctest, else looked for in the build's
    // program folder beside the tests folder.
    static QString Tool()
    {
        QString tool = qEnvironmentVariable("QMK_INITDB");
        if (tool.isEmpty())
            tool = QCoreApplication::applicationDirPath() + "/../bin/qmk-initdb";
        return QFileInfo(tool).isExecutable() ? tool : QString();
    }
    // Runs the tool; answers its exit code, or a negative number when it did not run to its end.
    int RunTool(const QStringList &arguments)
    {
        const QString tool = Tool();
        if (tool.isEmpty())
            return -1;
        QProcess p;
        p.start(tool, arguments);
        if (!p.waitForFinished(60000))
            return -2;
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -3;
    }
};

}  // namespace

TEST_F(NewDatabase, HoldsTheFiveTablesAndTheStatusList)
{
    OpenDatabase();
    EXPECT_EQ(ColumnsOf("tblUsers"), QStringList({"Id", "UserId", "Passwd"}));
    EXPECT_EQ(ColumnsOf("tblTasks"), QStringList({"TaskID", "UserId", "StatusID", "TaskName", "StartDate", "EndDate",
                                                  "CostUpToNow", "CostPlanned", "Notes"}));
    EXPECT_EQ(ColumnsOf("tblTransaction"), QStringList({"Id", "UserId", "TransactionDate", "HeadId", "AmountIn",
                                                        "AmountOut", "Remarks", "TaskID"}));
    EXPECT_EQ(ColumnsOf("defHeads"), QStringList({"Id", "Heads", "PlusMinus", "UserId"}));
    EXPECT_EQ(ColumnsOf("tblStatus"), QStringList({"StatusID", "StatusName"}));
    EXPECT_EQ(Column("Select name from sqlite_master Where type='table' Order by name"),
              QStringList({"defHeads", "tblStatus", "tblTasks", "tblTransaction", "tblUsers"}));
    for (const char *table : {"tblUsers", "tblTasks", "tblTransaction", "defHeads"})
        EXPECT_EQ(Scalar(QStringLiteral("Select count(*) from ") + table), "0") << table;

    // Numbered from 1 without gaps, in order without an Order by, "All" first.
    const QStringList ids = Column("Select StatusID From tblStatus");
    ASSERT_GE(ids.size(), 2);
    for (int i = 0; i < ids.size(); ++i)
        EXPECT_EQ(ids[i], QString::number(i + 1));
    EXPECT_EQ(Column("Select StatusName,StatusID From tblStatus"), StatusNames());
    EXPECT_EQ(StatusNames().front(), "All");

    // The ledger of one project is read through an index, not by scanning every entry.
    StatementLog::SetEnabled(false);
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
    const QByteArray original = BytesOf(DatabasePath());
    ASSERT_FALSE(original.isEmpty());
    EXPECT_THROW(CreateDatabaseFile(DatabasePath()), SqlError);
    EXPECT_THROW(CreateDatabaseFile(DatabasePath(), true), SqlError);
    EXPECT_EQ(BytesOf(DatabasePath()), original);

    const QString other = Folder() + "/notes.txt";
    {
        QFile f(other);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }
    EXPECT_THROW(CreateDatabaseFile(other), SqlError);
    EXPECT_EQ(BytesOf(other), QByteArray("keep me"));

    if (Tool().isEmpty())
        GTEST_SKIP() << "the qmk-initdb tool was not found (QMK_INITDB)";
    EXPECT_NE(RunTool({DatabasePath()}), 0);
    EXPECT_NE(RunTool({DatabasePath(), "--demo"}), 0);
    EXPECT_NE(RunTool({other}), 0);
    EXPECT_NE(RunTool({}), 0);
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
    EXPECT_EQ(Column("Select * from tblUsers Where UserId='demo' And Passwd='DEMO'").size(), 0);
    EXPECT_FALSE(Column("Select Heads,Id From defHeads Where UserId='demo'").isEmpty());

    const QStringList tasks = Column("Select TaskID from tblTasks Where UserId='demo' Order by StartDate,CostUpToNow");
    ASSERT_FALSE(tasks.isEmpty());
    CTemplate dao;
    for (const QString &task : tasks) {
        dao.ExecuteSql("Select sum(amountIn),Sum(amountOut) from tblTransaction Where userid='demo' and TaskID =" + task);
        const double in = SharedRecordset->Fields(0).toDouble();
        const double out = SharedRecordset->Fields(1).toDouble();
        EXPECT_GT(in + out, 0) << "task " << task.toStdString() << " has no entries";
        const double cost = dao.CodeDecode(task, "TaskID", "tblTasks", "CostUpToNow").toDouble();
        EXPECT_NEAR(cost, in - out, 0.005) << "task " << task.toStdString();
        const int status = int(dao.CodeDecode(task, "TaskID", "tblTasks", "StatusID").toInt64());
        EXPECT_FALSE(dao.CodeDecode(QString::number(status), "StatusID", "tblStatus", "StatusName").isEmpty());
    }
    // Each entry books on an existing head of its owner, on the side the head's sign says.
    EXPECT_EQ(Scalar("Select count(*) from tblTransaction t Where not exists (Select * from defHeads h Where "
                     "h.Id=t.HeadId and h.UserId=t.UserId and ((h.PlusMinus=0 and t.AmountOut=0) or "
                     "(h.PlusMinus<>0 and t.AmountIn=0)))"),
              "0");
    EXPECT_EQ(boxes.Count(), 0);

    ResetProcessState();
    const QByteArray bytes = BytesOf(demo);
    ASSERT_GT(bytes.size(), 4096);
    EXPECT_FALSE(bytes.startsWith("SQLite format 3"));
    for (const char *plain : {"demo", "CREATE TABLE", "tblUsers", "Passwd"})
        EXPECT_FALSE(bytes.contains(plain)) << plain;
    const QByteArray empty = BytesOf(DatabasePath());
    for (const char *plain : {"CREATE TABLE", "tblUsers", "tblStatus", "Running"})
        EXPECT_FALSE(empty.contains(plain)) << plain;
}
