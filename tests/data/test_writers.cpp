// The record writers and their key allocation: the statements they compose from "<<>>" lists, the
// boxes they show and what the database holds afterwards. Every case starts from a fresh file.
#include "TestSupport.h"

namespace {

const QString D = QStringLiteral("<<>>");
const QString kHeads = QStringLiteral("Heads<<>>PlusMinus<<>>UserId");
const QString kEntries = QStringLiteral("UserId<<>>TransactionDate<<>>HeadId<<>>AmountIn<<>>AmountOut<<>>Remarks<<>>TaskID");

struct WriterCase {
    const char *name;
    std::function<void(CTemplate &)> write;
    QStringList statements;  // as composed, in order
    int boxes;               // "Error" boxes shown
    const char *query;       // one row read afterwards...
    QString holds;           // ...and its fields' text forms joined by "|"
    const char *seed = nullptr;
};
void PrintTo(const WriterCase &c, std::ostream *os) { *os << c.name; }

const char *const kAddHead = "Select max(Id) From defHeads";

std::vector<WriterCase> writerCases()
{
    const QString fuel = "'Fuel'" + D + "1" + D + "'ann'";
    const QString tricky = QStringLiteral("O'Neil <<>> Sons #1/2/2026#");
    return {
        {"AddNewTakesTheNextKeyAndPairsTheLists", [=](CTemplate &t) { t.AddNew("defHeads", kHeads, fuel, "Id", D); },
         {kAddHead, "INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (7,'Fuel',1,'ann')"}, 0,
         "Select Heads,PlusMinus,UserId from defHeads Where Id=7", "Fuel|1|ann"},
        {"UpdateDataSetsTheKeyAndEveryColumnOfOneRow",
         [](CTemplate &t) { t.UpdateData("defHeads", kHeads, "'Diesel'<<>>0<<>>'bob'", "Id", Variant(6), D); },
         {"Update defHeads Set Id=6,Heads='Diesel',PlusMinus=0,UserId='bob' WHERE Id=6"}, 0,
         "Select Heads,PlusMinus,UserId from defHeads Where Id=6", "Diesel|0|bob"},
        {"TheFirstEntryGetsKeyOneAndItsDateRewritten",
         [](CTemplate &t) {
             t.AddNew("tblTransaction", kEntries, "'ann'<<>>#5/1/2026#<<>>7<<>>12.5<<>>0<<>>'Diesel'<<>>12", "Id", D);
         },
         {"Select max(Id) From tblTransaction", "INSERT INTO tblTransaction (Id,UserId,TransactionDate,HeadId,AmountIn,"
                                                "AmountOut,Remarks,TaskID) VALUES (1,'ann',#5/1/2026#,7,12.5,0,'Diesel',12)"},
         0, "Select TransactionDate,HeadId,AmountIn,AmountOut,Remarks,TaskID from tblTransaction Where Id=1",
         "05/01/2026|7|12.5|0|Diesel|12"},
        {"AddNewTaskKeysOnTaskId",
         [](CTemplate &t) {
             t.AddNewTask("tblTasks", "UserId<<>>StatusID<<>>TaskName<<>>StartDate", "'ann'<<>>2<<>>'Shed'<<>>#2/3/2026#",
                          "TaskID", D);
         },
         // A new task also stays above the numbers its ledger entries still name.
         {"Select max(TaskID) From tblTasks", "Select max(TaskID) From tblTransaction",
          "INSERT INTO tblTasks (TaskID,UserId,StatusID,TaskName,StartDate) VALUES (13,'ann',2,'Shed',#2/3/2026#)"},
         0, "Select StatusID,TaskName,StartDate from tblTasks Where TaskID=13", "2|Shed|02/03/2026"},
        {"UpdateDataTaskChoosesTheRowByTaskId",
         [](CTemplate &t) {
             t.UpdateDataTask("tblTasks", "TaskName<<>>StartDate<<>>CostPlanned<<>>Notes",
                              "'New roof'<<>>#5/1/2026#<<>>2500.5<<>>' '", "StatusID", Variant(2), D, 12);
         },
         {"Update tblTasks Set StatusID=2,TaskName='New roof',StartDate=#5/1/2026#,CostPlanned=2500.5,Notes=' ' "
          "WHERE  TaskID =12"},
         0, "Select StatusID,TaskName,StartDate,CostPlanned,Notes from tblTasks Where TaskID=12",
         "2|New roof|05/01/2026|2500.5| "},
        {"EmptyListsWriteTheKeyAloneAndSurplusValuesAreIgnored",
         [](CTemplate &t) {
             t.AddNew("defHeads", "", "", "Id", D);
             t.AddNew("defHeads", "Heads<<>>PlusMinus", "'Oil'<<>>0<<>>'surplus'", "Id", D);
             t.UpdateData("defHeads", "Heads", "'Gas'<<>>'surplus'", "Id", Variant(8), D);
             t.UpdateData("defHeads", "", "", "Id", Variant(6), D);
         },
         {kAddHead, "INSERT INTO defHeads (Id) VALUES (7)", kAddHead,
          "INSERT INTO defHeads (Id,Heads,PlusMinus) VALUES (8,'Oil',0)", "Update defHeads Set Id=8,Heads='Gas' WHERE Id=8",
          "Update defHeads Set Id=6 WHERE Id=6"},
         0, "Select group_concat(Id||'='||ifnull(Heads,'')) from defHeads", "6=Rent,7=,8=Gas"},
        {"ShortValueListsWriteNothing",
         [](CTemplate &t) {
             t.AddNew("defHeads", kHeads, "'Oil'<<>>0", "Id", D);
             t.UpdateData("defHeads", kHeads, "'Oil'<<>>0", "Id", Variant(6), D);
             t.UpdateDataTask("tblTasks", "TaskName<<>>Notes", "'x'", "StatusID", Variant(2), D, 12);
         },
         {kAddHead}, 3, "Select count(*),max(Heads) from defHeads", "1|Rent"},
        // Two delimiters in a row: an empty item, which the engine rejects.
        {"AnEmptyItemIsKeptAndRejected", [](CTemplate &t) { t.AddNew("defHeads", kHeads, "'Oil'<<>><<>>'ann'", "Id", D); },
         {kAddHead, "INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (7,'Oil',,'ann')"}, 1,
         "Select count(*) from defHeads", "1"},
        {"StatementsTheEngineRejectsShowABoxEach",
         [](CTemplate &t) {
             t.AddNew("tblUsers", "UserID<<>>Passwd", "'ANN'<<>>'y'", "Id", D);   // the name is taken
             t.UpdateDataTask("defHeads", "", "", "PlusMinus", Variant(1), D, 5);  // no TaskID column
         },
         {"Select max(Id) From tblUsers", "INSERT INTO tblUsers (Id,UserID,Passwd) VALUES (2,'ANN','y')",
          "Update defHeads Set PlusMinus=1 WHERE  TaskID =5"},
         2, "Select count(*),max(Passwd) from tblUsers", "1|x"},
        {"QuotedTextKeepsDelimitersQuotesAndHashes",
         [=](CTemplate &t) { t.AddNew("defHeads", kHeads, QuoteSql(tricky) + D + "1" + D + "'ann'", "Id", D); },
         {kAddHead, "INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (7,'O''Neil <<>> Sons #1/2/2026#',1,'ann')"},
         0, "Select Heads,PlusMinus,UserId from defHeads Where Id=7", tricky + "|1|ann"},
        {"KeysStopAt32767AndNoRowIsWrittenWithoutOne",
         [=](CTemplate &t) {
             t.AddNew("defHeads", kHeads, fuel, "Id", D);
             t.AddNewTask("defHeads", kHeads, fuel, "Id", D);
             t.AddNew("tblNowhere", "A", "1", "Id", D);
         },
         {kAddHead, "INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (32767,'Fuel',1,'ann')", kAddHead,
          "Select max(Id) From tblNowhere"},
         2, "Select count(*),max(Id),min(Id) from defHeads", "3|32767|6",
         "INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (32766,'Last',1,'ann')"},
    };
}

class DataWriters : public ProgramFolderTest, public ::testing::WithParamInterface<WriterCase> {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        OpenDatabase();
        Seed("INSERT INTO defHeads (Id,Heads,PlusMinus,UserId) VALUES (6,'Rent',1,'ann')");
        Seed("INSERT INTO tblUsers (Id,UserId,Passwd) VALUES (1,'ann','x')");
        Seed("INSERT INTO tblTasks (TaskID,UserId,StatusID,TaskName,StartDate,CostUpToNow,CostPlanned,Notes) "
             "VALUES (12,'ann',1,'Roof','2026-01-01',0,10,'old')");
    }
    CTemplate dao;
};

TEST_P(DataWriters, Write)
{
    const WriterCase &c = GetParam();
    if (c.seed)
        Seed(QString::fromLatin1(c.seed));
    for (int i = 0; i < c.boxes; ++i)
        boxes.Expect();
    c.write(dao);
    EXPECT_EQ(Statements(), c.statements);
    ASSERT_EQ(boxes.Count(), c.boxes);
    for (const ui::MessageBoxRequest &box : boxes.Shown())
        EXPECT_TRUE(box.title == "Error" && !box.prompt.isEmpty()) << box.prompt.toStdString();
    const std::shared_ptr<Recordset> rs = SharedConnection.Execute(QString::fromLatin1(c.query));
    QStringList fields;
    for (int i = 0; !rs->Eof() && i < rs->FieldCount(); ++i)
        fields << rs->Fields(i).toString();
    EXPECT_EQ(fields.join('|'), c.holds);
}

INSTANTIATE_TEST_SUITE_P(Cases, DataWriters, ::testing::ValuesIn(writerCases()),
                         [](const auto &info) { return std::string(info.param.name); });

}  // namespace
