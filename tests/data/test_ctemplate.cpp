// Filling lists, looking names up and handing out cursors: the reading side of CTemplate.
#include "TestSupport.h"

#include "data/CTemplate.h"
#include "data/MyFun.h"
#include "data/NewDatabase.h"
#include "ui/ListItems.h"

namespace {

QStringList textsOf(const IListItems &list)
{
    QStringList out;
    for (int i = 0; i < list.ListCount(); ++i)
        out << list.List(i);
    return out;
}

QList<qint32> numbersOf(const IListItems &list)
{
    QList<qint32> out;
    for (int i = 0; i < list.ListCount(); ++i)
        out << list.ItemData(i);
    return out;
}

class DataReading : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        OpenDatabase();
        StatementLog::SetEnabled(false);
        for (const char *sql : {
                 "INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (2,'Fuel',1,'ann')",
                 "INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (5,'Client payment',0,'ann')",
                 "INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (7,'Materials',1,'ann')",
                 "INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (9,'Rent',1,'bob')",
                 "INSERT INTO tblTasks (TaskID,UserId,StatusID,TaskName,StartDate,EndDate,CostUpToNow,CostPlanned,"
                 "Notes) VALUES (1,'ann',2,'Shed','2026-03-02',NULL,0,100,' ')",
                 "INSERT INTO tblTasks (TaskID,UserId,StatusID,TaskName,StartDate,EndDate,CostUpToNow,CostPlanned,"
                 "Notes) VALUES (2,'ann',99,'Kitchen','2026-04-02',NULL,0,100,' ')",
                 "INSERT INTO tblTasks (TaskID,UserId,StatusID,TaskName,StartDate,EndDate,CostUpToNow,CostPlanned,"
                 "Notes) VALUES (3,'ann',4,'Fair','2026-05-02','2026-06-01',0,100,' ')",
             })
            SharedConnection.Execute(QString::fromLatin1(sql));
        StatementLog::SetEnabled(true);
    }
    CTemplate dao;
};

}  // namespace

TEST_F(DataReading, LoadListFillsTextsAndIdsAndForgetsTheResult)
{
    ui::ComboBox heads(QStringLiteral("cboTransactionHeads"));
    heads.AddItem("stale");
    dao.LoadList(heads, "defHeads", "Heads", "Id", "UserId", QuoteSql(QStringLiteral("ANN")));
    EXPECT_EQ(Statements(), QStringList({"Select Heads,Id From defHeads Where UserId='ANN'"}));
    EXPECT_EQ(textsOf(heads), QStringList({"Fuel", "Client payment", "Materials"}));
    EXPECT_EQ(numbersOf(heads), QList<qint32>({2, 5, 7}));
    EXPECT_EQ(SharedRecordset, nullptr);

    ui::ComboBox status(QStringLiteral("cboPreviewStatus"));
    dao.LoadList(status, "tblStatus", "StatusName", "StatusID", "", "");
    EXPECT_EQ(Statements().back(), "Select StatusName,StatusID From tblStatus");
    EXPECT_EQ(textsOf(status), StatusNames());
    for (int i = 0; i < status.ListCount(); ++i)
        EXPECT_EQ(status.ItemData(i), i + 1);

    // No criteria: no Where clause, whatever the criteria column says.
    ui::ListBox all(QStringLiteral("lstHeads"));
    dao.LoadList(all, "defHeads", "Heads", "Id", "UserId", "");
    EXPECT_EQ(Statements().back(), "Select Heads,Id From defHeads");
    EXPECT_EQ(all.ListCount(), 4);

    // Criteria without a criteria column: the id column is the criteria column.
    ui::ListBox one(QStringLiteral("lstOne"));
    dao.LoadList(one, "defHeads", "Heads", "Id", "", "9");
    EXPECT_EQ(Statements().back(), "Select Heads,Id From defHeads Where Id=9");
    EXPECT_EQ(textsOf(one), QStringList({"Rent"}));
    EXPECT_EQ(one.ItemData(0), 9);

    EXPECT_EQ(boxes.Count(), 0);
}

TEST_F(DataReading, LoadListWithNoRowsLeavesAnEmptyList)
{
    ui::ListBox list(QStringLiteral("lstHeads"));
    list.AddItem("stale");
    dao.ExecuteSql("Select * from tblStatus");
    dao.LoadList(list, "defHeads", "Heads", "Id", "UserId", QuoteSql(QStringLiteral("nobody")));
    EXPECT_EQ(list.ListCount(), 0);
    EXPECT_EQ(SharedRecordset, nullptr);
    EXPECT_EQ(boxes.Count(), 0);
}

TEST_F(DataReading, LoadListFailuresShowOneBoxAndKeepWhatWasAdded)
{
    ui::ListBox list(QStringLiteral("lstHeads"));
    list.AddItem("stale");
    dao.ExecuteSql("Select * from tblStatus");
    const std::shared_ptr<Recordset> current = SharedRecordset;

    boxes.Expect();
    dao.LoadList(list, "tblNowhere", "Heads", "Id", "UserId", "'ann'");
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Shown()[0].title, "Error");
    EXPECT_EQ(boxes.Shown()[0].icon, ui::Icon::Critical);
    EXPECT_EQ(list.ListCount(), 0);           // it was cleared before the statement ran
    EXPECT_EQ(SharedRecordset, current);      // and the current result was not touched

    // A null name part-way through: the items before it stay.
    StatementLog::SetEnabled(false);
    SharedConnection.Execute("INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (20,'Alpha',0,'cat')");
    SharedConnection.Execute("INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (21,'Beta',0,'cat')");
    SharedConnection.Execute("INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (22,NULL,0,'cat')");
    SharedConnection.Execute("INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (23,'Delta',0,'cat')");
    StatementLog::SetEnabled(true);
    boxes.Forget();
    boxes.Expect();
    dao.LoadList(list, "defHeads", "Heads", "Id", "UserId", "'cat'");
    EXPECT_EQ(boxes.Count(), 1);
    EXPECT_EQ(textsOf(list), QStringList({"Alpha", "Beta"}));
    EXPECT_EQ(numbersOf(list), QList<qint32>({20, 21}));
}

TEST_F(DataReading, CodeDecodeAnswersFromACursorOfItsOwn)
{
    EXPECT_EQ(dao.CodeDecode("2", "StatusID", "tblStatus", "StatusName").toString(), "New");
    EXPECT_EQ(Statements(), QStringList({"Select StatusName From tblStatus Where StatusID=2"}));
    EXPECT_EQ(dao.CodeDecode("'Fuel'", "Heads", "defHeads", "Id").toInt64(), 2);
    EXPECT_TRUE(dao.CodeDecode("1", "TaskID", "tblTasks", "EndDate").isNull());
    EXPECT_EQ(dao.CodeDecode("3", "TaskID", "tblTasks", "EndDate").toString(), "01/06/2026");
    EXPECT_EQ(boxes.Count(), 0);

    // Decoding each row's status while walking the task list: one box for the status that
    // has no row, and the walk goes on over the same cursor.
    dao.ExecuteSql("Select * from tblTasks Where UserId='ann' Order by StartDate,CostUpToNow");
    const std::shared_ptr<Recordset> walking = SharedRecordset;
    boxes.Expect();
    QStringList names;
    for (; !SharedRecordset->Eof(); SharedRecordset->MoveNext()) {
        const Variant name = dao.CodeDecode(SharedRecordset->Fields("StatusID").toString(), "StatusID",
                                            "tblStatus", "StatusName");
        names << (name.isEmpty() ? QStringLiteral("<empty>") : name.toString());
        EXPECT_EQ(SharedRecordset, walking);
    }
    EXPECT_EQ(names, QStringList({"New", "<empty>", "On Hold"}));
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_EQ(boxes.Shown()[0].title, "Error");
    EXPECT_EQ(SharedRecordset, walking);
}

TEST_F(DataReading, GetResultsHandsOverACursorThatOutlivesLaterStatements)
{
    dao.ExecuteSql("Select * from tblStatus");
    const std::shared_ptr<Recordset> rs = dao.GetResults("Select Heads,Id From defHeads Where UserId='ann'");
    ASSERT_NE(rs, nullptr);
    EXPECT_EQ(SharedRecordset, nullptr);

    dao.ExecuteSql("Select * from tblStatus");
    dao.ExecuteSql("Delete from defHeads where id=2");
    dao.CodeDecode("5", "Id", "defHeads", "Heads");
    ASSERT_FALSE(rs->Eof());
    rs->MoveNext();
    QStringList seen;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
        seen << rs->Fields(0).toString() + "=" + rs->Fields("id").toString();
    EXPECT_EQ(seen, QStringList({"Fuel=2", "Client payment=5", "Materials=7"}));

    // A rejected statement: one box and no cursor.
    boxes.Expect();
    EXPECT_EQ(dao.GetResults("Select * from tblNowhere"), nullptr);
    EXPECT_EQ(boxes.Count(), 1);
}
