// The task and action-head editors, driven by clicks and keys as a user drives them.
#include "TestSupport.h"

#include "editors/frmHeads.h"
#include "editors/frmTask.h"
#include "ui/DatePicker.h"

#include <QGroupBox>
#include <QLocale>
#include <cmath>

namespace {

using ui::Answer;

class EditorsTest : public OnBothEngines<ProgramFolderTest> {
protected:
    void SetUp() override
    {
        OnBothEngines::SetUp();
        ui::SetClock([] { return QDateTime(QDate(2026, 5, 12), QTime(9, 30)); });
        Scene("ann", {"tblTasks VALUES (7,'ann',3,'Roof','2026-03-01','2026-09-01',77,1500,'Phase one'),"
                      "(8,'bob',2,'Walls','2026-04-01',NULL,0,900,' '),(9,'ann',2,'Garage','2026-04-02',NULL,0,50,' ')",
                      "defHeads VALUES (1,'Fuel',1,'ann'),(2,'Salary',0,'ann'),(3,'Bricks',1,'bob')",
                      "tblTransaction (Id,UserId,HeadId,TaskID) VALUES (1,'ann',1,7),(2,'bob',1,8),(3,'bob',1,8)"});
    }
    void ClickRow(ui::ListBox *list, int row, Answer answer)
    {
        boxes.Expect(answer);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    }
    static void Retype(QLineEdit *box, const QString &text) { box->clear(); TypeText(box, text); }

    int reloads = 0;
    const QString kTasks = "Select TaskID,UserId,StatusID,TaskName,StartDate,EndDate,CostUpToNow,CostPlanned,Notes "
                           "From tblTasks Order by TaskID";
};

// A new task starts today at no cost, as the second status; a blank name saves nothing. Editing
// changes only five columns. Any name and remarks are stored as held, any finite number as cost.
TEST_P(EditorsTest, TasksAreAddedWithDefaultsAndEdited)
{
    frmTask w([this] { ++reloads; });
    w.show();
    EXPECT_EQ(Items(*w.lstTasks), (QStringList{"Roof", "Garage"}));
    boxes.Expect();
    w.cmdSave->click();  // nothing in the frame: Save says what to do first
    EXPECT_EQ(boxes.Last(), "Choose a project in the list, or press New, before Save.|3|" + AppTitle + "|0|1");
    w.cmdAdd->click();
    EXPECT_EQ(w.cboStatus->currentText(), "New");
    TypeText(w.txtDescription, "   ");
    StatementLog::Clear();
    boxes.Expect();
    w.cmdSave->click();
    EXPECT_TRUE(Statements().isEmpty() && w.Frame1->isEnabled());
    EXPECT_EQ(boxes.Last(), "Enter a name for the project.|3|" + AppTitle + "|0|1");
    Retype(w.txtDescription, "O'Neil <<>> shed");
    TypeText(w.zeCostPlanned, "250");
    Press(w.zeCostPlanned, Qt::Key_Return);
    EXPECT_EQ(Joined(kTasks).last(), "10|ann|2|O'Neil <<>> shed|12/05/2026||0|250| ");
    EXPECT_EQ(w.txtDescription->text() + w.zeCostPlanned->text() + w.zeCostNow->text() + w.zeRemarksTask->text(), "");
    EXPECT_TRUE(Items(*w.lstTasks).size() == 3 && !w.Frame1->isEnabled());

    ClickRow(w.lstTasks, 0, Answer::Yes);
    EXPECT_EQ(boxes.Last(), "Want to modify this Project/Task ?|4|Edit?|2|2");  // Information, Yes No, No first
    EXPECT_EQ((QStringList{w.cboStatus->currentText(), w.txtDescription->text(), w.dtTaskDateStart->text(),
                           w.zeCostPlanned->text(), w.zeCostNow->text(), w.zeRemarksTask->text()}),
              (QStringList{"Running", "Roof", "01/03/2026", "1500", "77", "Phase one"}));
    Retype(w.txtDescription, "Roof 2");
    Press(w.cboStatus, Qt::Key_Down);
    Retype(w.zeCostPlanned, "0.1234567890123456");  // written with the 15 digits the program keeps
    Retype(w.zeRemarksTask, "it's <<>> done");
    w.zeCostNow->setText("999");  // shown only, never written
    StatementLog::Clear();
    w.cmdSave->click();
    EXPECT_EQ(Statements().value(0), "Update tblTasks Set StatusID=4,TaskName='Roof 2',StartDate=#01/03/2026#,"
                                     "CostPlanned=0.123456789012346,Notes='it''s <<>> done' WHERE  TaskID =7");
    EXPECT_EQ(Joined(kTasks)[0], "7|ann|4|Roof 2|01/03/2026|01/09/2026|77|0.123456789012346|it's <<>> done");
    ClickRow(w.lstTasks, 0, Answer::Yes);  // a planned cost that is no number is refused
    Retype(w.zeCostPlanned, "1,000");
    boxes.Expect();
    w.cmdSave->click();
    EXPECT_EQ(boxes.Last(), "Cost Planned must be a number.|3|" + AppTitle + "|0|1");
    for (const QString &c : kHostile) {
        bool number = false;
        const double cost = QLocale::c().toDouble(c.trimmed(), &number);
        number = number && std::isfinite(cost);
        w.cmdAdd->click();
        const QString held = Put(w.txtDescription, c);
        Put(w.zeRemarksTask, c);
        Put(w.zeCostPlanned, number ? c : "1");
        const int written = Scalar("Select count(*) From tblTasks").toInt();
        if (IsBlank(held))
            boxes.Expect();  // the missing name is asked for
        w.cmdSave->click();
        EXPECT_EQ(Scalar("Select count(*) From tblTasks").toInt() - written, IsBlank(held) ? 0 : 1) << qPrintable(c);
        if (IsBlank(held))
            continue;
        const QString last = "From tblTasks Order by TaskID Desc";
        EXPECT_EQ(Scalar("Select TaskName " + last) + "|" + Scalar("Select Notes " + last), held + "|" + held);
        EXPECT_EQ(Value("Select CostPlanned " + last).toDouble(), number ? cost : 1);
    }
    Press(w.zeCostPlanned, Qt::Key_Escape);
    EXPECT_TRUE(!w.isVisible() && reloads == 1);  // closed, it has told its opener
}

// Heads are added as income or expense, edited, and deleted only while no entry uses them (of any user
// in the file; on a server the check sees the user's own projects only).
TEST_P(EditorsTest, HeadsAreAddedEditedAndDeletedWhenUnused)
{
    frmHeads w([this] { ++reloads; });
    w.show();
    EXPECT_EQ(Items(*w.lstHeads), (QStringList{"Fuel", "Salary"}));
    w.cmdAdd->click();
    TypeText(w.txtDescription, "   ");
    StatementLog::Clear();
    w.cmdSave->click();
    EXPECT_TRUE(Statements().isEmpty() && w.Frame1->isEnabled());
    Retype(w.txtDescription, "Bob's <<>> rent");
    Press(w.cboType, Qt::Key_Down);
    w.cmdSave->click();
    EXPECT_EQ(Scalar("Select Heads||'|'||PlusMinus||'|'||UserId From defHeads Where Id=4"), "Bob's <<>> rent|1|ann");
    EXPECT_TRUE(Items(*w.lstHeads).size() == 3 && !w.Frame1->isEnabled());
    ClickRow(w.lstHeads, 1, Answer::Yes);
    EXPECT_EQ(boxes.Last(), "Want to modify this action name ?|4|Edit?|2|2");
    EXPECT_EQ(w.cboType->currentText(), "Income");
    Retype(w.txtDescription, "Wages");
    StatementLog::Clear();
    Press(w.txtDescription, Qt::Key_Return);
    EXPECT_EQ(Statements().value(0), "Update defHeads Set Id=2,Heads='Wages',PlusMinus=0,UserId='ann' WHERE Id=2");

    const QString ask = "Want to delete this action name ?|4|Delete?|2|2";
    const struct { int row; std::vector<Answer> answers; QString box; QStringList heads; } cases[] = {
        {1, {Answer::No}, ask, {"1", "2", "3", "4"}},
        {0, {Answer::Yes, Answer::OK}, "The action is used in the project(s) : \r\n'Roof'\r\n" +
         QString(server ? "" : "'Walls'\r\n") + "\r\n"
         "First remove this action from the projects then delete it.|3|" + AppTitle + "|0|1", {"1", "2", "3", "4"}},
        {1, {Answer::Yes}, ask, {"1", "3", "4"}}};
    for (const auto &c : cases) {
        ClickRow(w.lstHeads, c.row, Answer::No);
        for (Answer a : c.answers)
            boxes.Expect(a);
        w.cmdDel->click();
        EXPECT_EQ(boxes.Last(), c.box);
        EXPECT_EQ(Column("Select Id From defHeads Order by Id"), c.heads);
    }
    EXPECT_EQ(Items(*w.lstHeads), (QStringList{"Fuel", "Bob's <<>> rent"}));

    w.cmdCancel->click();
    EXPECT_TRUE(!w.isVisible() && reloads == 1);  // closed, it has told its opener
}

// Each head shows its type in the list; a second head of one name (letter case and blanks aside) and
// one type is refused with a box, while one of the other type is made; a head keeps its own name.
TEST_P(EditorsTest, AHeadOfTheSameNameAndTypeIsRefused)
{
    frmHeads w;
    w.show();
    const auto kinds = [&] {
        QStringList k;
        for (int i = 0; i < w.lstHeads->count(); ++i)
            k << w.lstHeads->item(i)->text() + ":" + w.lstHeads->item(i)->data(frmHeads::KindRole).toString();
        return k.join(',');
    };
    EXPECT_EQ(kinds(), "Fuel:Expense,Salary:Income");
    w.cmdAdd->click();
    w.cboType->SetListIndex(1);
    TypeText(w.txtDescription, " fuel ");
    boxes.Expect();
    w.cmdSave->click();
    EXPECT_EQ(boxes.Last(), "An action head with this name and type exists already.|3|" + AppTitle + "|0|1");
    EXPECT_TRUE(Scalar("Select count(*) From defHeads") == "3" && w.Frame1->isEnabled());
    w.cboType->SetListIndex(0);
    w.cmdSave->click();
    EXPECT_EQ(kinds(), "Fuel:Expense,Salary:Income, fuel :Income");
    ClickRow(w.lstHeads, 0, Answer::Yes);
    Retype(w.txtDescription, "FUEL");
    w.cmdSave->click();
    EXPECT_EQ(kinds(), "FUEL:Expense,Salary:Income, fuel :Income");
}

QMK_ON_BOTH_ENGINES(EditorsTest);

}  // namespace
