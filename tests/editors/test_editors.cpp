// The task and action-head editors, driven by clicks and keys: what they ask, what they show
// and what the database then holds.
#include "TestSupport.h"

#include "editors/frmHeads.h"
#include "editors/frmTask.h"
#include "ui/DatePicker.h"
#include "ui/ListItems.h"

#include <QApplication>
#include <QGroupBox>
#include <QRegularExpression>
#include <QTest>

namespace {

using ui::Answer;
using ui::Icon;

class EditorsTest : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        ui::SetClock([] { return QDateTime(QDate(2026, 5, 12), QTime(9, 30)); });
        Scene("ann", {"tblTasks VALUES (7,'ann',3,'Roof','2026-03-01','2026-09-01',77,1500,'Phase one'),"
                      "(8,'bob',2,'Walls','2026-04-01',NULL,0,900,' '),(9,'ann',2,'Garage','2026-04-02',NULL,0,50,' ')",
                      "defHeads VALUES (1,'Fuel',1,'ann'),(2,'Salary',0,'ann'),(3,'Bricks',1,'bob')",
                      "tblTransaction VALUES (1,'ann',NULL,1,0,10,' ',7),(2,'bob',NULL,1,0,20,' ',8),"
                      "(3,'bob',NULL,1,0,30,' ',8)"});
    }
    // Shows the window; it counts its closings in `reloads`.
    template <typename Editor>
    std::unique_ptr<Editor> Open()
    {
        auto w = std::make_unique<Editor>([this] { ++reloads; });
        w->show();
        StatementLog::Clear();
        return w;
    }
    void ClickRow(ui::ListBox *list, int row, Answer answer)
    {
        boxes.Expect(answer);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    }
    static void Click(QWidget *w) { QTest::mouseClick(w, Qt::LeftButton); }
    static void Retype(QLineEdit *box, const QString &text) { box->clear(); TypeText(box, text); }
    static QStringList Items(ui::ListBox *list)
    {
        QStringList out;
        for (int i = 0; i < list->ListCount(); ++i)
            out << list->List(i);
        return out;
    }
    QStringList Rows(const QString &table, const QString &columns)
    {
        return Column("Select " + QString(columns).replace(" ", "||'|'||") + " From " + table + " Order by rowid");
    }
    // The last statement that wrote to the database.
    QString Written()
    {
        const QStringList w = Statements().filter(QRegularExpression("^(INSERT|Update|Delete) "));
        return w.isEmpty() ? QString() : w.back();
    }
    // The last box: its text, icon and title; questions have Yes and No with No as the default.
    void ExpectBox(const QString &prompt, Icon icon, const QString &title)
    {
        ASSERT_FALSE(boxes.Shown().empty());
        const ui::MessageBoxRequest &b = boxes.Shown().back();
        const bool ask = icon == Icon::Information;
        EXPECT_EQ(std::tie(b.prompt, b.icon, b.title, b.buttons, b.defaultButton),
                  std::make_tuple(prompt, icon, title, ask ? ui::Buttons::YesNo : ui::Buttons::OKOnly, ask ? 2 : 1));
    }

    int reloads = 0;
    const char *kTask = "TaskID UserId StatusID TaskName StartDate ifnull(EndDate,'-') CostUpToNow CostPlanned Notes";
};

// A new task starts today at no cost, as the second status unless there is one only; a blank name
// saves nothing. Editing shows the task and changes only its five columns.
TEST_F(EditorsTest, TasksAreAddedWithDefaultsAndEdited)
{
    auto w = Open<frmTask>();
    EXPECT_EQ(Items(w->lstTasks), (QStringList{"Roof", "Garage"}));
    Click(w->cmdAdd);
    EXPECT_EQ(w->cboStatus->currentText(), "New");
    TypeText(w->txtDescription, "   ");
    Click(w->cmdSave);
    EXPECT_TRUE(Statements().isEmpty() && w->Frame1->isEnabled());
    Retype(w->txtDescription, "O'Neil <<>> shed");
    TypeText(w->zeCostPlanned, "250");
    Press(w->zeCostPlanned, Qt::Key_Return);
    EXPECT_EQ(Rows("tblTasks", kTask).last(), "10|ann|2|O'Neil <<>> shed|2026-05-12|-|0.0|250.0| ");
    EXPECT_FALSE(w->Frame1->isEnabled());
    EXPECT_EQ(w->txtDescription->text() + w->zeCostPlanned->text() + w->zeCostNow->text() + w->zeRemarksTask->text(), "");
    EXPECT_EQ(Items(w->lstTasks).size(), 3);

    ClickRow(w->lstTasks, 0, Answer::Yes);
    ExpectBox("Want to modify this Project/Task ?", Icon::Information, "Edit?");
    EXPECT_EQ(w->cboStatus->ListIndex(), 2);  // StatusID 3
    EXPECT_EQ((QStringList{w->txtDescription->text(), w->dtTaskDateStart->text(), w->zeCostPlanned->text(),
                           w->zeCostNow->text(), w->zeRemarksTask->text()}),
              (QStringList{"Roof", "01/03/2026", "1500", "77", "Phase one"}));
    EXPECT_FALSE(w->zeCostNow->isEnabled());
    boxes.Expect(Answer::No);
    Press(w->lstTasks, Qt::Key_Down);  // No empties the name only
    EXPECT_FALSE(w->Frame1->isEnabled());
    EXPECT_EQ(w->txtDescription->text() + w->zeCostPlanned->text(), "1500");

    ClickRow(w->lstTasks, 0, Answer::Yes);
    Retype(w->txtDescription, "Roof 2");
    Press(w->cboStatus, Qt::Key_Down);
    Retype(w->zeCostPlanned, "2e3");
    Retype(w->zeRemarksTask, "it's <<>> done");
    w->zeCostNow->setText("999");  // shown only, never written
    Click(w->cmdSave);
    EXPECT_EQ(Written(), "Update tblTasks Set StatusID=4,TaskName='Roof 2',StartDate=#01/03/2026#,"
                         "CostPlanned=2000,Notes='it''s <<>> done' WHERE  TaskID =7");
    EXPECT_EQ(Rows("tblTasks", kTask)[0], "7|ann|4|Roof 2|2026-03-01|2026-09-01|77.0|2000.0|it's <<>> done");

    // A planned cost must be a finite decimal number, also when editing (the new task's table is in
    // the hostile input tests); the 15 digits the program keeps are written.
    const struct { const char *typed, *stored; } cases[] = {
        {"7.", "7"}, {"0.1234567890123456", "0.123456789012346"}, {"", nullptr}, {"1,000", nullptr},
        {"0x10", nullptr}, {"1.2.3", nullptr}, {"--1", nullptr}, {"0,Notes='x' WHERE 1=1 --", nullptr}};
    for (const auto &c : cases) {
        ClickRow(w->lstTasks, 0, Answer::Yes);
        Retype(w->zeCostPlanned, c.typed);
        StatementLog::Clear();
        if (!c.stored)
            boxes.Expect();
        Click(w->cmdSave);
        if (c.stored)
            EXPECT_TRUE(Written().contains(QString(",CostPlanned=%1,").arg(c.stored))) << c.typed;
        else
            ExpectBox("Cost Planned must be a number.", Icon::Exclamation, AppTitle);
        EXPECT_EQ(Statements().isEmpty(), !c.stored);
        EXPECT_EQ(w->Frame1->isEnabled(), !c.stored);
        EXPECT_EQ(w->zeCostPlanned->text(), c.stored ? "" : c.typed);
    }
    boxes.Forget();
    Seed("Delete from tblStatus where StatusID>1");
    w->LoadInList();  // the program's reloads ask nothing
    EXPECT_EQ(boxes.Count(), 0);
    Click(w->cmdAdd);
    EXPECT_EQ(w->cboStatus->ListIndex(), 0);
    Press(w->zeCostPlanned, Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(reloads, 1);
}

// Heads are added as income or expense, edited, and deleted only while no entry of any user uses them.
TEST_F(EditorsTest, HeadsAreAddedEditedAndDeletedWhenUnused)
{
    auto w = Open<frmHeads>();
    EXPECT_EQ(Items(w->lstHeads), (QStringList{"Fuel", "Salary"}));
    Click(w->cmdAdd);
    TypeText(w->txtDescription, "   ");
    Click(w->cmdSave);
    EXPECT_TRUE(Statements().isEmpty() && w->Frame1->isEnabled());
    Click(w->cmdDel);  // nothing selected: no question, the name box is emptied
    EXPECT_EQ(w->txtDescription->text(), "");
    Retype(w->txtDescription, "Bob's <<>> rent");
    Press(w->cboType, Qt::Key_Down);
    Click(w->cmdSave);
    const QString heads = "Id Heads PlusMinus UserId";
    EXPECT_EQ(Rows("defHeads", heads).last(), "4|Bob's <<>> rent|1|ann");
    EXPECT_EQ(Items(w->lstHeads).size(), 3);
    EXPECT_FALSE(w->Frame1->isEnabled());
    ClickRow(w->lstHeads, 1, Answer::Yes);
    ExpectBox("Want to modify this action name ?", Icon::Information, "Edit?");
    EXPECT_EQ(w->cboType->currentText(), "Income");
    Retype(w->txtDescription, "Wages");
    Press(w->txtDescription, Qt::Key_Return);
    EXPECT_EQ(Written(), "Update defHeads Set Id=2,Heads='Wages',PlusMinus=0,UserId='ann' WHERE Id=2");

    const QString ask = "Want to delete this action name ?";
    const struct { int row; std::vector<Answer> answers; QString prompt; Icon icon; QString title; int heads; } cases[] = {
        {1, {Answer::No}, ask, Icon::Information, "Delete?", 4},
        {0, {Answer::Yes, Answer::OK}, "The action is used in the project(s) : \r\n'Roof'\r\n'Walls'\r\n\r\n"
         "First remove this action from the projects then delete it.", Icon::Exclamation, AppTitle, 4},
        {1, {Answer::Yes}, ask, Icon::Information, "Delete?", 3}};
    for (const auto &c : cases) {
        ClickRow(w->lstHeads, c.row, Answer::No);
        for (Answer a : c.answers)
            boxes.Expect(a);
        Click(w->cmdDel);
        ExpectBox(c.prompt, c.icon, c.title);
        EXPECT_EQ(Rows("defHeads", heads).size(), c.heads);
    }
    EXPECT_EQ(Items(w->lstHeads), (QStringList{"Fuel", "Bob's <<>> rent"}));

    Seed("DROP TABLE tblTransaction");  // the in-use check cannot run: nothing is deleted
    ClickRow(w->lstHeads, 0, Answer::No);
    boxes.Expect(Answer::Yes);
    boxes.Expect(Answer::OK);
    Click(w->cmdDel);
    EXPECT_EQ(boxes.Shown().back().title, "Error");
    EXPECT_EQ(Rows("defHeads", heads).size(), 3);
    w->close();
    EXPECT_EQ(reloads, 1);
    w->show();  // shown again, it tells its opener again
    Click(w->cmdCancel);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(reloads, 2);
}

}  // namespace
