// The record writers and key allocation: the statements they compose from "<<>>" lists and
// what the database holds afterwards.
#include "TestSupport.h"

#include "data/CTemplate.h"
#include "data/MyFun.h"
#include "data/NewDatabase.h"

namespace {

const QString D = QStringLiteral("<<>>");
const QString kHeadFields = QStringLiteral("Heads<<>>PlusMinus<<>>UserId");
const QString kEntryFields =
    QStringLiteral("UserId<<>>TransactionDate<<>>HeadId<<>>AmountIn<<>>AmountOut<<>>Remarks<<>>TaskID");

class DataWriters : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        OpenDatabase();
    }
    // One row as the program reads it, its fields' text forms joined by "|".
    QString Row(const QString &columns, const QString &table, const QString &where)
    {
        StatementLog::SetEnabled(false);
        const auto rs = SharedConnection.Execute("Select " + columns + " from " + table + " Where " + where);
        StatementLog::SetEnabled(true);
        if (rs->Eof())
            return QStringLiteral("<no row>");
        QStringList fields;
        for (int i = 0; i < rs->FieldCount(); ++i)
            fields << rs->Fields(i).toString();
        return fields.join(QLatin1Char('|'));
    }
    // Expects exactly one "Error" box to have been shown since the last check.
    void ExpectOneErrorBox()
    {
        ASSERT_EQ(boxes.Count(), 1);
        EXPECT_EQ(boxes.Shown()[0].title, "Error");
        EXPECT_EQ(boxes.Shown()[0].icon, ui::Icon::Critical);
        EXPECT_FALSE(boxes.Shown()[0].prompt.isEmpty());
        boxes.Forget();
    }
    CTemplate dao;
};

}  // namespace

TEST_F(DataWriters, HeadsAreAddedAndChangedWithTheDocumentedStatements)
{
    Seed("INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (6,'Rent',1,'ann')");
    const QString values = QuoteSql(QStringLiteral("Fuel")) + D + "1" + D + QuoteSql(QStringLiteral("ann"));
    dao.AddNew("defHeads", kHeadFields, values, "Id", D);
    EXPECT_EQ(Statements(), QStringList({"Select max(Id) From defHeads",
                                         "INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (7,'Fuel',1,'ann')"}));
    EXPECT_EQ(Row("Heads,PlusMinus,UserId", "defHeads", "Id=7"), "Fuel|1|ann");

    Seed("Update defHeads Set Heads='Diesel',PlusMinus=0 Where Id=7");
    StatementLog::Clear();
    dao.UpdateData("defHeads", kHeadFields, values, "Id", Variant(7), D);
    EXPECT_EQ(Statements(), QStringList({"Update defHeads Set Id=7,Heads='Fuel',PlusMinus=1,UserId='ann' WHERE Id=7"}));
    EXPECT_EQ(Row("Heads,PlusMinus,UserId", "defHeads", "Id=7"), "Fuel|1|ann");
    EXPECT_EQ(Row("Heads,PlusMinus,UserId", "defHeads", "Id=6"), "Rent|1|ann");
    EXPECT_EQ(boxes.Count(), 0);
}

TEST_F(DataWriters, UsersEntriesAndTasksAreWrittenColumnForColumn)
{
    dao.AddNew("tblUsers", "UserID<<>>Passwd", QuoteSql(QStringLiteral("ann")) + D + QuoteSql(QStringLiteral("s3cret")),
               "Id", D);
    EXPECT_EQ(Statements().back(), "INSERT INTO tblUsers (Id,UserID,Passwd) VALUES (1,'ann','s3cret')");
    EXPECT_EQ(Row("Id,UserId,Passwd", "tblUsers", "UserId='ann'"), "1|ann|s3cret");

    // The task editor's lists, dates glued to the delimiters.
    dao.AddNewTask("tblTasks", "UserId<<>>StatusID<<>>TaskName<<>>StartDate<<>>CostUpToNow<<>>CostPlanned<<>>Notes",
                   "'ann'<<>>2<<>>'Shed'<<>>#2/3/2026#<<>>0<<>>2500<<>>' '", "TaskID", D);
    EXPECT_EQ(Statements().back(), "INSERT INTO tblTasks (TaskID,UserId,StatusID,TaskName,StartDate,CostUpToNow,"
                                   "CostPlanned,Notes) VALUES (1,'ann',2,'Shed',#2/3/2026#,0,2500,' ')");
    Seed("INSERT INTO tblTasks (TaskID,UserId,StatusID,TaskName,StartDate,CostUpToNow,CostPlanned,Notes) "
         "VALUES (12,'ann',1,'Roof','2026-01-01',0,10,'old')");
    StatementLog::Clear();
    dao.UpdateDataTask("tblTasks", "TaskName<<>>StartDate<<>>CostPlanned<<>>Notes",
                       QuoteSql(QStringLiteral("New roof")) + D + "#5/1/2026#" + D + "2500.5" + D + QuoteSql(QString()),
                       "StatusID", Variant(2), D, 12);
    EXPECT_EQ(Statements(), QStringList({"Update tblTasks Set StatusID=2,TaskName='New roof',StartDate=#5/1/2026#,"
                                         "CostPlanned=2500.5,Notes=' ' WHERE  TaskID =12"}));
    EXPECT_EQ(Row("StatusID,TaskName,StartDate,CostPlanned,Notes", "tblTasks", "TaskID=12"),
              "2|New roof|05/01/2026|2500.5| ");
    EXPECT_EQ(Row("StatusID,TaskName,StartDate", "tblTasks", "TaskID=1"), "2|Shed|02/03/2026");

    dao.AddNew("tblTransaction", kEntryFields, "'ann'<<>>#5/1/2026#<<>>7<<>>12.5<<>>0<<>>'Diesel'<<>>12", "Id", D);
    EXPECT_EQ(Statements().back(), "INSERT INTO tblTransaction (Id,UserId,TransactionDate,HeadId,AmountIn,AmountOut,"
                                   "Remarks,TaskID) VALUES (1,'ann',#5/1/2026#,7,12.5,0,'Diesel',12)");
    dao.UpdateData("tblTransaction", kEntryFields, "'ann'<<>>#6/1/2026#<<>>7<<>>0<<>>-3.25<<>>'Refund'<<>>12", "Id",
                   Variant(std::int64_t(1)), D);
    EXPECT_EQ(Row("TransactionDate,HeadId,AmountIn,AmountOut,Remarks,TaskID", "tblTransaction", "Id=1"),
              "06/01/2026|7|0|-3.25|Refund|12");
    EXPECT_EQ(boxes.Count(), 0);
}

TEST_F(DataWriters, EmptyAndSurplusListsFollowTheColumnList)
{
    dao.AddNew("defHeads", "", "", "Id", D);
    dao.UpdateData("defHeads", "", "", "Id", Variant(1), D);
    dao.AddNew("defHeads", "Heads<<>>PlusMinus", "'Oil'<<>>0<<>>'surplus'", "Id", D);
    dao.UpdateData("defHeads", "Heads", "'Gas'<<>>'surplus'", "Id", Variant(2), D);
    boxes.Expect();  // defHeads has no TaskID column
    dao.UpdateDataTask("defHeads", "", "", "PlusMinus", Variant(1), D, 5);
    EXPECT_EQ(Statements(), QStringList({
                                "Select max(Id) From defHeads",
                                "INSERT INTO defHeads (Id) VALUES (1)",
                                "Update defHeads Set Id=1 WHERE Id=1",
                                "Select max(Id) From defHeads",
                                "INSERT INTO defHeads (Id,Heads,PlusMinus) VALUES (2,'Oil',0)",
                                "Update defHeads Set Id=2,Heads='Gas' WHERE Id=2",
                                "Update defHeads Set PlusMinus=1 WHERE  TaskID =5",
                            }));
    EXPECT_EQ(Column("Select Id from defHeads Order by Id"), QStringList({"1", "2"}));
    EXPECT_EQ(Row("Heads,PlusMinus", "defHeads", "Id=2"), "Gas|0");
    ExpectOneErrorBox();
}

TEST_F(DataWriters, ShortOrBrokenValueListsWriteNothingAndShowOneBox)
{
    Seed("INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (3,'Rent',1,'ann')");

    boxes.Expect();
    dao.AddNew("defHeads", kHeadFields, "'Oil'<<>>0", "Id", D);
    EXPECT_EQ(Statements(), QStringList({"Select max(Id) From defHeads"}));
    ExpectOneErrorBox();

    StatementLog::Clear();
    boxes.Expect();
    dao.UpdateData("defHeads", kHeadFields, "'Oil'<<>>0", "Id", Variant(3), D);
    boxes.Expect();
    dao.UpdateDataTask("tblTasks", "TaskName<<>>Notes", "'x'", "StatusID", Variant(2), D, 1);
    EXPECT_EQ(Statements(), QStringList());
    EXPECT_EQ(boxes.Count(), 2);
    boxes.Forget();

    // Two delimiters in a row: an empty literal that the engine rejects.
    StatementLog::Clear();
    boxes.Expect();
    dao.AddNew("defHeads", kHeadFields, "'Oil'<<>><<>>'ann'", "Id", D);
    EXPECT_EQ(Statements().back(), "INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (4,'Oil',,'ann')");
    ExpectOneErrorBox();
    boxes.Expect();
    dao.UpdateData("defHeads", kHeadFields, "'Oil'<<>><<>>'ann'", "Id", Variant(3), D);
    ExpectOneErrorBox();

    // A name that is already taken is rejected by the engine.
    Seed("INSERT INTO tblUsers (Id,UserId,Passwd) VALUES (1,'ann','x')");
    boxes.Expect();
    dao.AddNew("tblUsers", "UserID<<>>Passwd", "'ANN'<<>>'y'", "Id", D);
    ExpectOneErrorBox();

    EXPECT_EQ(Column("Select Id from defHeads"), QStringList({"3"}));
    EXPECT_EQ(Row("Heads,PlusMinus,UserId", "defHeads", "Id=3"), "Rent|1|ann");
    EXPECT_EQ(Scalar("Select count(*) from tblUsers"), "1");
}

TEST_F(DataWriters, QuotedTextKeepsDelimitersQuotesAndHashesInItsOwnColumn)
{
    const QString tricky = QStringLiteral("O'Neil <<>> Sons #1/2/2026#");
    dao.AddNew("defHeads", kHeadFields, QuoteSql(tricky) + D + "1" + D + QuoteSql(QStringLiteral("ann")), "Id", D);
    EXPECT_EQ(Statements().back(),
              "INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (1,'O''Neil <<>> Sons #1/2/2026#',1,'ann')");
    EXPECT_EQ(Row("Heads,PlusMinus,UserId", "defHeads", "Id=1"), tricky + "|1|ann");

    // An update whose first value holds the delimiter must not shift text into PlusMinus or UserId.
    dao.UpdateData("defHeads", kHeadFields, QuoteSql(QStringLiteral("a<<>>b")) + D + "0" + D + QuoteSql(QStringLiteral("ann")),
                   "Id", Variant(1), D);
    EXPECT_EQ(Row("Heads,PlusMinus,UserId", "defHeads", "Id=1"), "a<<>>b|0|ann");

    dao.AddNew("tblTransaction", kEntryFields,
               "'ann'<<>>#5/1/2026#<<>>1<<>>12.5<<>>0<<>>" + QuoteSql(QStringLiteral("x'<<>>#9/9/2026#<<>>'y")) + "<<>>4",
               "Id", D);
    EXPECT_EQ(Row("TransactionDate,HeadId,AmountIn,AmountOut,Remarks,TaskID", "tblTransaction", "Id=1"),
              "05/01/2026|1|12.5|0|x'<<>>#9/9/2026#<<>>'y|4");

    // Text meant to end the statement early is stored as text.
    const QString hostile = QStringLiteral("x'); DELETE FROM tblStatus; --");
    dao.AddNew("tblUsers", "UserID<<>>Passwd", QuoteSql(hostile) + D + QuoteSql(QStringLiteral("p")), "Id", D);
    EXPECT_EQ(Row("UserId,Passwd", "tblUsers", "Id=1"), hostile + "|p");
    EXPECT_EQ(Scalar("Select count(*) from tblStatus"), QString::number(StatusNames().size()));
    EXPECT_EQ(boxes.Count(), 0);
}

TEST_F(DataWriters, KeysCountUpFromOneAndStopAt32767)
{
    EXPECT_EQ(GetNextId("defHeads", "Id"), 1);
    EXPECT_EQ(SharedRecordset, nullptr);
    Seed("INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (41,'a',0,'ann')");
    Seed("INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (3,'b',0,'ann')");
    EXPECT_EQ(GetNextId("defHeads", "Id"), 42);
    EXPECT_EQ(GetNextId("DEFHEADS", "id"), 42);
    Seed("INSERT INTO tblTasks (TaskID,UserId,StatusID,TaskName) VALUES (32766,'ann',1,'t')");
    EXPECT_EQ(GetNextId("tblTasks", "TaskID"), 32767);
    EXPECT_EQ(SharedRecordset, nullptr);
    EXPECT_EQ(boxes.Count(), 0);

    // The key after the last one: one box, and the answer is 0.
    Seed("INSERT INTO tblTasks (TaskID,UserId,StatusID,TaskName) VALUES (32767,'ann',1,'u')");
    boxes.Expect();
    EXPECT_EQ(GetNextId("tblTasks", "TaskID"), 0);
    ExpectOneErrorBox();
    boxes.Expect();
    EXPECT_EQ(GetNextId("tblNowhere", "Id"), 0);
    ExpectOneErrorBox();
}

TEST_F(DataWriters, NoRowIsInsertedWhenNoKeyCanBeAllocated)
{
    Seed("INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (32767,'Last',1,'ann')");
    const QString values = QuoteSql(QStringLiteral("Fuel")) + D + "1" + D + QuoteSql(QStringLiteral("ann"));
    boxes.Expect();
    dao.AddNew("defHeads", kHeadFields, values, "Id", D);
    EXPECT_EQ(Statements(), QStringList({"Select max(Id) From defHeads"}));
    ExpectOneErrorBox();
    boxes.Expect();
    dao.AddNewTask("defHeads", kHeadFields, values, "Id", D);
    ExpectOneErrorBox();
    EXPECT_EQ(Column("Select Id from defHeads"), QStringList({"32767"}));

    // A table that does not exist: the key query fails and no INSERT follows.
    StatementLog::Clear();
    boxes.Expect();
    dao.AddNew("tblNowhere", "A", "1", "Id", D);
    EXPECT_EQ(Statements(), QStringList({"Select max(Id) From tblNowhere"}));
    ExpectOneErrorBox();
    EXPECT_EQ(Scalar("Select count(*) from defHeads Where Id=0"), "0");
}
