// The task and action-head editors, driven by clicks and keys: what they ask, what they show
// and what the database then holds.
#include "TestSupport.h"

#include "editors/frmHeads.h"
#include "editors/frmTask.h"
#include "ui/DatePicker.h"
#include "ui/ListItems.h"

#include <QGroupBox>
#include <QRegularExpression>

namespace {

using ui::Answer;

class EditorsTest : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        ui::SetClock([] { return QDateTime(QDate(2026, 5, 12), QTime(9, 30)); });
        Scene("ann", {"tblTasks VALUES (7,'ann',3,'Roof','2026-03-01','2026-09-01',77,1500,'Phase one'),"
                      "(8,'bob',2,'Walls','2026-04-01',NULL,0,900,' '),(9,'ann',2,'Garage','2026-04-02',NULL,0,50,' ')",
                      "defHeads VALUES (1,'Fuel',1,'ann'),(2,'Salary',0,'ann'),(3,'Bricks',1,'bob')",
                      "tblTransaction VALUES (1,'ann',NULL,1,0,10,' ',7),(2,'bob',NULL,1,0,20,' ',8),(3,'bob',NULL,1,0,30,' ',8)"});
    }
    void ClickRow(ui::ListBox *list, int row, Answer answer)
    {
        boxes.Expect(answer);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    }
    static void Retype(QLineEdit *box, const QString &text) { box->clear(); TypeText(box, text); }
    static QStringList Items(ui::ListBox *list)
    {
        QStringList out;
        for (int i = 0; i < list->ListCount(); ++i)
            out << list->List(i);
        return out;
    }
    // A table's rows, the columns named (blank-separated) joined by '|'.
    QStringList Rows(const QString &table, QString columns)
    {
        return Column("Select " + columns.replace(" ", "||'|'||") + " From " + table + " Order by rowid");
    }
    // The last statement that wrote to the database, and the last box: text, icon, title, buttons, default.
    QString Written() { return Statements().filter(QRegularExpression("^(INSERT|Update|Delete) ")).join('\n'); }
    QString LastBox()
    {
        if (boxes.Shown().empty())
            return "no box";
        const ui::MessageBoxRequest &b = boxes.Shown().back();
        return QString("%1|%2|%3|%4|%5").arg(b.prompt).arg(int(b.icon)).arg(b.title).arg(int(b.buttons)).arg(b.defaultButton);
    }

    int reloads = 0;
    const char *kTask = "TaskID UserId StatusID TaskName StartDate ifnull(EndDate,'-') CostUpToNow CostPlanned Notes";
};

// A new task starts today at no cost, as the second status unless there is one only; a blank name
// saves nothing. Editing shows the task and changes only its five columns.
TEST_F(EditorsTest, TasksAreAddedWithDefaultsAndEdited)
{
    frmTask w([this] { ++reloads; });
    w.show();
    EXPECT_EQ(Items(w.lstTasks), (QStringList{"Roof", "Garage"}));
    w.cmdAdd->click();
    EXPECT_EQ(w.cboStatus->currentText(), "New");
    TypeText(w.txtDescription, "   ");
    StatementLog::Clear();
    w.cmdSave->click();
    EXPECT_TRUE(Statements().isEmpty() && w.Frame1->isEnabled());
    Retype(w.txtDescription, "O'Neil <<>> shed");
    TypeText(w.zeCostPlanned, "250");
    Press(w.zeCostPlanned, Qt::Key_Return);
    EXPECT_EQ(Rows("tblTasks", kTask).last(), "10|ann|2|O'Neil <<>> shed|2026-05-12|-|0.0|250.0| ");
    EXPECT_EQ(w.txtDescription->text() + w.zeCostPlanned->text() + w.zeCostNow->text() + w.zeRemarksTask->text(), "");
    EXPECT_TRUE(Items(w.lstTasks).size() == 3 && !w.Frame1->isEnabled());

    ClickRow(w.lstTasks, 0, Answer::Yes);
    EXPECT_EQ(LastBox(), "Want to modify this Project/Task ?|4|Edit?|2|2");  // Information, Yes No, No first
    EXPECT_EQ((QStringList{w.cboStatus->currentText(), w.txtDescription->text(), w.dtTaskDateStart->text(),
                           w.zeCostPlanned->text(), w.zeCostNow->text(), w.zeRemarksTask->text()}),
              (QStringList{"Running", "Roof", "01/03/2026", "1500", "77", "Phase one"}));
    EXPECT_FALSE(w.zeCostNow->isEnabled());
    boxes.Expect(Answer::No);
    Press(w.lstTasks, Qt::Key_Down);  // No empties the name only
    EXPECT_FALSE(w.Frame1->isEnabled());
    EXPECT_EQ(w.txtDescription->text() + w.zeCostPlanned->text(), "1500");

    ClickRow(w.lstTasks, 0, Answer::Yes);
    Retype(w.txtDescription, "Roof 2");
    Press(w.cboStatus, Qt::Key_Down);
    Retype(w.zeCostPlanned, "2e3");
    Retype(w.zeRemarksTask, "it's <<>> done");
    w.zeCostNow->setText("999");  // shown only, never written
    StatementLog::Clear();
    w.cmdSave->click();
    EXPECT_EQ(Written(), "Update tblTasks Set StatusID=4,TaskName='Roof 2',StartDate=#01/03/2026#,"
                         "CostPlanned=2000,Notes='it''s <<>> done' WHERE  TaskID =7");
    EXPECT_EQ(Rows("tblTasks", kTask)[0], "7|ann|4|Roof 2|2026-03-01|2026-09-01|77.0|2000.0|it's <<>> done");

    // A planned cost must be a finite decimal number (the table for new tasks is in the hostile
    // input tests); the 15 digits the program keeps are written.
    const struct { const char *typed, *stored; } cases[] = {
        {"7.", "7"}, {"0.1234567890123456", "0.123456789012346"}, {"", nullptr}, {"1,000", nullptr},
        {"0x10", nullptr}, {"1.2.3", nullptr}, {"--1", nullptr}, {"0,Notes='x' WHERE 1=1 --", nullptr}};
    for (const auto &c : cases) {
        ClickRow(w.lstTasks, 0, Answer::Yes);
        Retype(w.zeCostPlanned, c.typed);
        StatementLog::Clear();
        if (!c.stored)
            boxes.Expect();
        w.cmdSave->click();
        EXPECT_EQ(c.stored ? Written().section(',', 3, 3) : LastBox(),
                  c.stored ? QString("CostPlanned=") + c.stored : "Cost Planned must be a number.|3|" + AppTitle + "|0|1");
        EXPECT_EQ(w.zeCostPlanned->text() + (w.Frame1->isEnabled() ? "+" : ""), c.stored ? "" : c.typed + QString("+"));
    }
    Seed("Delete from tblStatus where StatusID>1");
    w.LoadInList();  // the program's reloads ask nothing
    w.cmdAdd->click();
    EXPECT_EQ(w.cboStatus->ListIndex(), 0);
    Press(w.zeCostPlanned, Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(reloads, 1);
}

// Heads are added as income or expense, edited, and deleted only while no entry of any user uses them.
TEST_F(EditorsTest, HeadsAreAddedEditedAndDeletedWhenUnused)
{
    frmHeads w([this] { ++reloads; });
    w.show();
    EXPECT_EQ(Items(w.lstHeads), (QStringList{"Fuel", "Salary"}));
    w.cmdAdd->click();
    TypeText(w.txtDescription, "   ");
    StatementLog::Clear();
    w.cmdSave->click();
    EXPECT_TRUE(Statements().isEmpty() && w.Frame1->isEnabled());
    w.cmdDel->click();  // nothing selected: no question, the name box is emptied
    EXPECT_EQ(w.txtDescription->text(), "");
    TypeText(w.txtDescription, "Bob's <<>> rent");
    Press(w.cboType, Qt::Key_Down);
    w.cmdSave->click();
    EXPECT_EQ(Rows("defHeads", "Id Heads PlusMinus UserId").last(), "4|Bob's <<>> rent|1|ann");
    EXPECT_TRUE(Items(w.lstHeads).size() == 3 && !w.Frame1->isEnabled());
    ClickRow(w.lstHeads, 1, Answer::Yes);
    EXPECT_EQ(LastBox(), "Want to modify this action name ?|4|Edit?|2|2");
    EXPECT_EQ(w.cboType->currentText(), "Income");
    Retype(w.txtDescription, "Wages");
    StatementLog::Clear();
    Press(w.txtDescription, Qt::Key_Return);
    EXPECT_EQ(Written(), "Update defHeads Set Id=2,Heads='Wages',PlusMinus=0,UserId='ann' WHERE Id=2");

    const QString ask = "Want to delete this action name ?|4|Delete?|2|2";
    const struct { int row; std::vector<Answer> answers; QString box; QStringList heads; } cases[] = {
        {1, {Answer::No}, ask, {"1", "2", "3", "4"}},
        {0, {Answer::Yes, Answer::OK}, "The action is used in the project(s) : \r\n'Roof'\r\n'Walls'\r\n\r\n"
         "First remove this action from the projects then delete it.|3|" + AppTitle + "|0|1", {"1", "2", "3", "4"}},
        {1, {Answer::Yes}, ask, {"1", "3", "4"}}};
    for (const auto &c : cases) {
        ClickRow(w.lstHeads, c.row, Answer::No);
        for (Answer a : c.answers)
            boxes.Expect(a);
        w.cmdDel->click();
        EXPECT_EQ(LastBox(), c.box);
        EXPECT_EQ(Column("Select Id From defHeads Order by Id"), c.heads);
    }
    EXPECT_EQ(Items(w.lstHeads), (QStringList{"Fuel", "Bob's <<>> rent"}));

    Seed("DROP TABLE tblTransaction");  // the in-use check cannot run: nothing is deleted
    ClickRow(w.lstHeads, 0, Answer::No);
    boxes.Expect(Answer::Yes);
    boxes.Expect(Answer::OK);
    w.cmdDel->click();
    EXPECT_EQ(boxes.Shown().back().title + Column("Select Id From defHeads Order by Id").join(','), "Error1,3,4");
    w.close();
    EXPECT_EQ(reloads, 1);
    w.show();  // shown again, it tells its opener again
    w.cmdCancel->click();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(reloads, 2);
}

}  // namespace
