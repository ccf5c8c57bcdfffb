// CTemplate: filling lists, looking names up, handing out cursors, and the record writers with
// their key allocation (the statements they compose from "<<>>" lists, the boxes they show and
// what the database holds afterwards).
#include "DataTest.h"

#include "ui/ListItems.h"

class DataReading : public OnBothEngines<OpenFolderTest> {};

// LoadList: without criteria no Where clause, whatever the criteria column; criteria without a
// criteria column choose by the id column; a null name part-way through shows a box, and the items
// before it stay. CodeDecode and GetResults leave the cursor being walked as it was, and a status
// that has no row shows one box.
TEST_P(DataReading, ListsLookUpsAndCursorsComeFromTheComposedStatements)
{
    Seed("INSERT INTO defHeads VALUES (2,'Fuel',1,'ann'),(9,'Rent',1,'bob'),(20,'Alpha',0,'cat'),(21,'Beta',0,'cat'),"
         "(22,NULL,0,'cat'),(23,'Delta',0,'cat')");
    Seed("INSERT INTO tblTasks (TaskID,StatusID,StartDate,EndDate) VALUES (1,2,'2026-03-02',NULL),"
         "(2,99,'2026-04-02',NULL),(3,4,'2026-05-02','2026-06-01')");
    ui::ComboBox combo(QStringLiteral("cboHeads"));
    ui::ListBox listBox(QStringLiteral("lstHeads"));  // the one that meets the null name
    const struct { IListItems *list; const char *table, *field, *id, *criteriaColumn, *criteria, *filled; } cases[] = {
        {&combo, "tblStatus", "StatusName", "StatusID", "StatusID", "",
         "Select StatusName,StatusID From tblStatus|All=1|New=2|Running=3|On Hold=4|Finished=5|Cancelled=6"},
        {&combo, "defHeads", "Heads", "Id", "", "9", "Select Heads,Id From defHeads Where Id=9|Rent=9"},
        {&listBox, "defHeads", "Heads", "Id", "UserId", "'CAT'",
         "Select Heads,Id From defHeads Where UserId='CAT'|Alpha=20|Beta=21"}};
    for (const auto &c : cases) {
        c.list->AddItem("stale");
        dao.ExecuteSql("Select * from tblStatus");
        StatementLog::Clear();
        if (c.list == &listBox)
            boxes.Expect();
        dao.LoadList(*c.list, c.table, c.field, c.id, c.criteriaColumn, c.criteria);
        QStringList filled = Statements();
        for (int i = 0; i < c.list->ListCount(); ++i)
            filled << c.list->List(i) + "=" + QString::number(c.list->ItemData(i));
        EXPECT_EQ(filled.join('|') + QString(" %1").arg(c.list->ListIndex()), c.filled + QString(" -1"));
        EXPECT_TRUE(boxes.Count() || !SharedRecordset) << "a filled list forgets the result";
    }
    StatementLog::Clear();
    EXPECT_EQ(dao.CodeDecode("'Fuel'", "Heads", "defHeads", "Id").toInt64(), 2);
    EXPECT_EQ(Statements(), QStringList({"Select Id From defHeads Where Heads='Fuel'"}));
    EXPECT_TRUE(dao.CodeDecode("1", "TaskID", "tblTasks", "EndDate").isNull());
    EXPECT_EQ(dao.CodeDecode("3", "TaskID", "tblTasks", "EndDate").toString(), "01/06/2026");
    dao.ExecuteSql("Select * from tblStatus");
    const std::shared_ptr<Recordset> walking = dao.GetResults("Select StatusID from tblTasks Order by StartDate");
    boxes.Expect();
    QStringList names;
    for (walking->MoveFirst(); !walking->Eof(); walking->MoveNext())
        names << dao.CodeDecode(walking->Fields("tblTasks.statusid").toString(), "StatusID", "tblStatus", "StatusName")
                     .toString();
    EXPECT_THROW(walking->Fields(0), SqlError);  // past the end
    EXPECT_EQ(names, QStringList({"New", "", "On Hold"}));
    EXPECT_EQ(SharedRecordset, nullptr);
    EXPECT_TRUE(boxes.Shown()[1].title == "Error" && boxes.Shown()[1].icon == ui::Icon::Critical);
    boxes.Expect();
    EXPECT_EQ(dao.GetResults("Select * from tblNowhere"), nullptr);
}

class DataWriters : public OnBothEngines<OpenFolderTest> {};

TEST_P(DataWriters, KeysAreTakenInTurnTheListsPairedAndWhatCannotBeWrittenShowsABox)
{
    const QString D = "<<>>", kHeads = "Heads<<>>PlusMinus<<>>UserId", kAddHead = "Select max(Id) From defHeads";
    const QString tricky = "O'Neil <<>> Sons #1/2/2026#", entry = "'ann'<<>>#5/1/2026#<<>>7<<>>12.5<<>>0<<>>'D'<<>>20";
    Seed("INSERT INTO defHeads VALUES (6,'Rent',1,'ann')");
    Seed("INSERT INTO tblUsers VALUES (1,'ann','x')");
    Seed("INSERT INTO tblTasks VALUES (12,'ann',1,'Roof','2026-01-01',NULL,0,10,'old')");
    dao.AddNew("defHeads", kHeads, "'Fuel'<<>>1<<>>'ann'", "Id", D);
    dao.UpdateData("defHeads", kHeads, "'Diesel'<<>>0<<>>'bob'", "Id", Variant(6), D);
    dao.AddNew("tblTransaction", "UserId<<>>TransactionDate<<>>HeadId<<>>AmountIn<<>>AmountOut<<>>Remarks<<>>TaskID",
               entry, "Id", D);
    // A new task also stays above the numbers that ledger entries still name.
    dao.AddNewTask("tblTasks", "UserId<<>>StatusID<<>>TaskName<<>>StartDate", "'ann'<<>>2<<>>'Shed'<<>>#2/3/2026#",
                   "TaskID", D);
    dao.UpdateDataTask("tblTasks", "TaskName<<>>StartDate<<>>CostPlanned<<>>Notes",
                       "'New roof'<<>>#5/1/2026#<<>>2500.5<<>>' '", "StatusID", Variant(2), D, 12);
    dao.AddNew("defHeads", "", "", "Id", D);  // empty lists write the key alone; surplus values are ignored
    dao.AddNew("defHeads", "Heads<<>>PlusMinus", "'Oil'<<>>0<<>>'surplus'", "Id", D);
    dao.UpdateData("defHeads", "Heads", "'Gas'<<>>'surplus'", "Id", Variant(9), D);
    dao.AddNew("defHeads", kHeads, QuoteSql(tricky) + D + "1" + D + "'ann'", "Id", D);
    EXPECT_EQ(Statements(), QStringList({
        kAddHead, "INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (7,'Fuel',1,'ann')",
        "Update defHeads Set Id=6,Heads='Diesel',PlusMinus=0,UserId='bob' WHERE Id=6",
        "Select max(Id) From tblTransaction", "INSERT INTO tblTransaction (Id,UserId,TransactionDate,HeadId,AmountIn,"
        "AmountOut,Remarks,TaskID) VALUES (1," + QString(entry).replace(D, ",") + ")",
        "Select max(TaskID) From tblTasks", "Select max(TaskID) From tblTransaction",
        "INSERT INTO tblTasks (TaskID,UserId,StatusID,TaskName,StartDate) VALUES (21,'ann',2,'Shed',#2/3/2026#)",
        "Update tblTasks Set StatusID=2,TaskName='New roof',StartDate=#5/1/2026#,CostPlanned=2500.5,Notes=' ' "
        "WHERE  TaskID =12", kAddHead, "INSERT INTO defHeads (Id) VALUES (8)", kAddHead,
        "INSERT INTO defHeads (Id,Heads,PlusMinus) VALUES (9,'Oil',0)",
        "Update defHeads Set Id=9,Heads='Gas' WHERE Id=9", kAddHead,
        "INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (10,'O''Neil <<>> Sons #1/2/2026#',1,'ann')"}));

    // Short value lists, an empty item, a taken name, a missing column or table and the last key.
    StatementLog::Clear();
    for (int i = 0; i < 8; ++i)
        boxes.Expect();
    dao.AddNew("defHeads", kHeads, "'Oil'<<>>0", "Id", D);
    dao.UpdateData("defHeads", kHeads, "'Oil'<<>>0", "Id", Variant(6), D);
    dao.UpdateDataTask("tblTasks", "TaskName<<>>Notes", "'x'", "StatusID", Variant(2), D, 12);
    dao.AddNew("defHeads", kHeads, "'Oil'<<>><<>>'ann'", "Id", D);
    dao.AddNew("tblUsers", "UserID<<>>Passwd", "'ANN'<<>>'y'", "Id", D);
    dao.UpdateDataTask("defHeads", "", "", "PlusMinus", Variant(1), D, 5);
    Seed("INSERT INTO defHeads VALUES (2147483646,'Last',1,'ann')");
    for (int i = 0; i < 2; ++i)
        dao.AddNewTask("defHeads", kHeads, "'Fuel'<<>>1<<>>'ann'", "Id", D);
    dao.AddNew("tblNowhere", "A", "1", "Id", D);
    EXPECT_EQ(Statements(), QStringList({
        kAddHead, kAddHead, "INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (11,'Oil',,'ann')",
        "Select max(Id) From tblUsers", "INSERT INTO tblUsers (Id,UserID,Passwd) VALUES (2,'ANN','y')",
        "Update defHeads Set PlusMinus=1 WHERE  TaskID =5", kAddHead,
        "INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (2147483647,'Fuel',1,'ann')", kAddHead,
        "Select max(Id) From tblNowhere"}));
    for (const ui::MessageBoxRequest &box : boxes.Shown())
        EXPECT_TRUE(box.title == "Error" && !box.prompt.isEmpty()) << box.prompt.toStdString();
    EXPECT_EQ(Rows("Select * from defHeads Order by Id") + Rows("Select * from tblTasks Order by TaskID") +
                  Rows("Select * from tblTransaction Where TransactionDate < #1/2/2026#") +
                  Rows("Select * from tblUsers"),
              QStringList({"6|Diesel|0|bob", "7|Fuel|1|ann", "8|||", "9|Gas|0|", "10|" + tricky + "|1|ann",
                           "2147483646|Last|1|ann", "2147483647|Fuel|1|ann", "12|ann|2|New roof|05/01/2026||0|2500.5| ",
                           "21|ann|2|Shed|02/03/2026||||", "1|ann|05/01/2026|7|12.5|0|D|20", "1|ann|x"}));
}

QMK_ON_BOTH_ENGINES(DataReading);
QMK_ON_BOTH_ENGINES(DataWriters);
