// Filling lists, looking names up and handing out cursors: the reading side of CTemplate.
#include "TestSupport.h"

#include "ui/ListItems.h"

namespace {

class DataReading : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        OpenDatabase();
        Seed("INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (2,'Fuel',1,'ann'),(5,'Client payment',0,'ann'),"
             "(7,'Materials',1,'ann'),(9,'Rent',1,'bob'),(20,'Alpha',0,'cat'),(21,'Beta',0,'cat'),(22,NULL,0,'cat'),"
             "(23,'Delta',0,'cat')");
        Seed("INSERT INTO tblTasks (TaskID,UserId,StatusID,TaskName,StartDate,EndDate) VALUES (1,'ann',2,'Shed',"
             "'2026-03-02',NULL),(2,'ann',99,'Kitchen','2026-04-02',NULL),(3,'ann',4,'Fair','2026-05-02','2026-06-01')");
    }
    CTemplate dao;
};

TEST_F(DataReading, LoadListFillsTextsAndNumbersFromTheComposedStatement)
{
    const struct { const char *table, *field, *id, *criteriaColumn, *criteria, *statement, *items; int boxes; } cases[] = {
        {"defHeads", "Heads", "Id", "UserId", "'ANN'", "Select Heads,Id From defHeads Where UserId='ANN'",
         "Fuel=2|Client payment=5|Materials=7", 0},
        // No criteria: no Where clause, whatever the criteria column says.
        {"tblStatus", "StatusName", "StatusID", "StatusID", "", "Select StatusName,StatusID From tblStatus",
         "All=1|New=2|Running=3|On Hold=4|Finished=5|Cancelled=6", 0},
        // Criteria without a criteria column: the id column is the criteria column.
        {"defHeads", "Heads", "Id", "", "9", "Select Heads,Id From defHeads Where Id=9", "Rent=9", 0},
        {"defHeads", "Heads", "Id", "UserId", "'nobody'", "Select Heads,Id From defHeads Where UserId='nobody'", "", 0},
        {"tblNowhere", "Heads", "Id", "UserId", "'ann'", "Select Heads,Id From tblNowhere Where UserId='ann'", "", 1},
        // A null name part-way through: one box, and the items before it stay.
        {"defHeads", "Heads", "Id", "UserId", "'cat'", "Select Heads,Id From defHeads Where UserId='cat'",
         "Alpha=20|Beta=21", 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.statement);
        ui::ComboBox combo(QStringLiteral("cboHeads"));
        ui::ListBox listBox(QStringLiteral("lstHeads"));
        IListItems &list = c.boxes ? static_cast<IListItems &>(listBox) : combo;
        list.AddItem("stale");
        dao.ExecuteSql("Select * from tblStatus");
        StatementLog::Clear();
        boxes.Forget();
        for (int i = 0; i < c.boxes; ++i)
            boxes.Expect();
        dao.LoadList(list, c.table, c.field, c.id, c.criteriaColumn, c.criteria);
        EXPECT_EQ(Statements(), QStringList{c.statement});
        QStringList items;
        for (int i = 0; i < list.ListCount(); ++i)
            items << list.List(i) + "=" + QString::number(list.ItemData(i));
        EXPECT_EQ(items.join('|'), c.items);
        EXPECT_EQ(boxes.Count(), c.boxes);
        EXPECT_TRUE(c.boxes || !SharedRecordset) << "a filled list forgets the result";
    }
}

TEST_F(DataReading, CodeDecodeAnswersFromACursorOfItsOwnAndReportsAMissingRow)
{
    EXPECT_EQ(dao.CodeDecode("2", "StatusID", "tblStatus", "StatusName").toString(), "New");
    EXPECT_EQ(Statements(), QStringList({"Select StatusName From tblStatus Where StatusID=2"}));
    EXPECT_EQ(dao.CodeDecode("'Fuel'", "Heads", "defHeads", "Id").toInt64(), 2);
    EXPECT_TRUE(dao.CodeDecode("1", "TaskID", "tblTasks", "EndDate").isNull());
    EXPECT_EQ(dao.CodeDecode("3", "TaskID", "tblTasks", "EndDate").toString(), "01/06/2026");
    EXPECT_EQ(boxes.Count(), 0);

    // Decoding each task's status while walking the task list: one box for the status that has
    // no row, and the walk goes on over the same cursor.
    dao.ExecuteSql("Select * from tblTasks Where UserId='ann' Order by StartDate,CostUpToNow");
    const std::shared_ptr<Recordset> walking = SharedRecordset;
    boxes.Expect();
    QStringList names;
    for (; !SharedRecordset->Eof(); SharedRecordset->MoveNext()) {
        const Variant name = dao.CodeDecode(SharedRecordset->Fields("StatusID").toString(), "StatusID", "tblStatus",
                                            "StatusName");
        names << (name.isEmpty() ? QStringLiteral("<empty>") : name.toString());
        EXPECT_EQ(SharedRecordset, walking);
    }
    EXPECT_EQ(names, QStringList({"New", "<empty>", "On Hold"}));
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_TRUE(boxes.Shown()[0].title == "Error" && boxes.Shown()[0].icon == ui::Icon::Critical);
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
    QStringList seen;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
        seen << rs->Fields(0).toString() + "=" + rs->Fields("id").toString();
    EXPECT_EQ(seen, QStringList({"Fuel=2", "Client payment=5", "Materials=7"}));

    boxes.Expect();  // a rejected statement: one box and no cursor
    EXPECT_EQ(dao.GetResults("Select * from tblNowhere"), nullptr);
    EXPECT_EQ(boxes.Count(), 1);
}

}  // namespace
