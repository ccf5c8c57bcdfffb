// The project editor's plan by heads, typed in its grid as a user types it: saved with the
// project as the baseline, then as revisions shown beside it; the sum against the planned cost;
// an amount that is no amount refused.
#include "TestSupport.h"

#include "data/Budgets.h"
#include "editors/frmTask.h"

#include <QGroupBox>
#include <QTableWidget>

namespace {

using ui::Answer;

// ann's heads Labour and Materials (bob's Bricks is not hers), her project Roof (7) planned at
// 3,000 with 1,200 spent on Materials.
class BudgetEditorTest : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        Scene("ann", {"tblTasks VALUES (7,'ann',3,'Roof','2026-03-01',NULL,-1200,3000,' ')",
                      "defHeads VALUES (1,'Materials',1,'ann'),(2,'Labour',1,'ann'),(3,'Bricks',1,'bob')",
                      "tblTransaction VALUES (1,'ann','2026-03-05',1,0,1200,'bags',7)"});
        w = std::make_unique<frmTask>();
        w->show();
    }
    void Choose(int row)
    {
        boxes.Expect(Answer::Yes);
        QTest::mouseClick(w->lstTasks->viewport(), Qt::LeftButton, {},
                          w->lstTasks->visualItemRect(w->lstTasks->item(row)).center());
    }
    // The cell editor open now (one closed before may not be deleted yet).
    QLineEdit *Editor() const
    {
        for (QLineEdit *e : w->gdHeadBudget->findChildren<QLineEdit *>())
            if (e->isVisible())
                return e;
        return nullptr;
    }
    // Types into a Planned cell from the keyboard: the first key opens the cell, Enter ends it.
    void Type(int row, const QString &text)
    {
        QTableWidget *g = w->gdHeadBudget;
        g->setFocus();
        g->setCurrentCell(row, frmTask::PlannedColumn);
        if (text.isEmpty()) {
            Press(g, Qt::Key_F2);
            QLineEdit *editor = Editor();
            ASSERT_TRUE(editor);
            editor->clear();
            Press(editor, Qt::Key_Return);
            QApplication::processEvents();
            return;
        }
        TypeText(g, text.left(1));
        QLineEdit *editor = Editor();
        ASSERT_TRUE(editor) << "typing opened no editor";
        TypeText(editor, text.mid(1));
        Press(editor, Qt::Key_Return);
        QApplication::processEvents();
    }
    // The grid's rows as "head|baseline|planned|spent".
    QStringList Rows() const
    {
        QStringList out;
        for (int r = 0; r < w->gdHeadBudget->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < frmTask::BudgetColumns; ++c)
                cells << w->gdHeadBudget->item(r, c)->text();
            out << cells.join('|');
        }
        return out;
    }
    QStringList Stored(int task)
    {
        return Joined(QString("Select r.Revision, r.SavedBy, h.HeadId, h.Planned From tblBudgetRevisions r Join "
                              "tblHeadBudgets h On h.TaskID=r.TaskID And h.Revision=r.Revision Where r.TaskID=%1 "
                              "Order by r.Revision, h.HeadId").arg(task));
    }
    static QString Today() { return FormatDate(QDateTime::currentDateTimeUtc().toLocalTime().date()); }

    std::unique_ptr<frmTask> w;
};

// The first saved plan is the baseline; a changed one is revision 1, shown beside it; the sum
// beside the planned cost says by how much the heads differ from it; an unchanged plan saves no
// revision.
TEST_F(BudgetEditorTest, APlanIsSavedAsBaselineThenAsARevisionShownBesideIt)
{
    Choose(0);
    EXPECT_EQ(Rows(), (QStringList{"Labour|||0.00", "Materials|||1200.00"}));
    EXPECT_EQ(w->lblBudgetRevision->text() + "/" + w->lblBudgetSum->text() + "/" + w->lblBudgetNote->text(),
              "Not planned yet/Heads' plans: none/");
    w->zeRemarksTask->setFocus();
    Press(w->zeRemarksTask, Qt::Key_Tab);  // Tab leads from the fields into the plan
    EXPECT_EQ(w->focusWidget(), w->gdHeadBudget);
    Type(0, "1000");
    Type(1, "2200");
    EXPECT_TRUE(w->Frame1->isEnabled());  // Enter ends the cell, not the editing
    EXPECT_EQ(w->lblBudgetSum->text(), "Heads' plans: 3,200.00");
    EXPECT_EQ(w->lblBudgetNote->text(), "The heads' plans add up to 3,200.00, 200.00 more than the planned cost.");
    w->zeCostPlanned->setText("3500");
    EXPECT_EQ(w->lblBudgetNote->text(), "The heads' plans add up to 3,200.00, 300.00 less than the planned cost.");
    w->zeCostPlanned->setText("3200");
    EXPECT_EQ(w->lblBudgetNote->text(), "");
    w->cmdSave->click();
    EXPECT_EQ(Stored(7), (QStringList{"0|ann|1|2200", "0|ann|2|1000"}));
    EXPECT_EQ(Rows(), QStringList());
    EXPECT_EQ(Scalar("Select CostPlanned From tblTasks Where TaskID=7"), "3200");

    Choose(0);
    EXPECT_EQ(w->lblBudgetRevision->text(), "Baseline of " + Today() + " by ann");
    EXPECT_EQ(Rows(), (QStringList{"Labour|1000.00|1000.00|0.00", "Materials|2200.00|2200.00|1200.00"}));
    w->cmdSave->click();  // nothing changed: no revision
    EXPECT_EQ(Scalar("Select count(*) From tblBudgetRevisions"), "1");

    Choose(0);
    Type(0, "");
    Type(1, "2500.5");
    w->cmdSave->click();
    Choose(0);
    EXPECT_EQ(w->lblBudgetRevision->text(), "Revision 1 of " + Today() + " by ann");
    EXPECT_EQ(Rows(), (QStringList{"Labour|1000.00||0.00", "Materials|2200.00|2500.50|1200.00"}));
    EXPECT_EQ(Stored(7).mid(2), QStringList{"1|ann|1|2500.5"});
}

// A planned amount that is no amount of 0 or more is refused with a box before anything is
// written, and stays as typed; a new project's plan is saved under the project's new number.
TEST_F(BudgetEditorTest, ABadAmountIsRefusedAndANewProjectIsPlanned)
{
    Choose(0);
    w->zeCostPlanned->setText("10");
    for (const QString bad : {"-5", "abc", "1e999"}) {
        Type(1, bad);
        boxes.Expect();
        w->cmdSave->click();
        EXPECT_EQ(boxes.Last(), "The planned amount of Materials must be a number of 0 or more (or empty: not planned). \"" +
                                    bad + "\" is not.|3|" + AppTitle + "|0|1");
        EXPECT_EQ(w->gdHeadBudget->item(1, frmTask::PlannedColumn)->text() + w->zeCostPlanned->text(), bad + "10");
        EXPECT_TRUE(w->FrameBudget->isEnabled() && w->gdHeadBudget->currentRow() == 1);
    }
    EXPECT_EQ(Scalar("Select CostPlanned From tblTasks Where TaskID=7") + Scalar("Select count(*) From tblBudgetRevisions"),
              "30000");

    w->cmdAdd->click();
    EXPECT_EQ(Rows(), (QStringList{"Labour|||0.00", "Materials|||0.00"}));
    EXPECT_EQ(w->lblBudgetRevision->text(), "Not planned yet");
    TypeText(w->txtDescription, "Shed");
    TypeText(w->zeCostPlanned, "500");
    Type(0, "500");
    w->cmdSave->click();
    EXPECT_EQ(Scalar("Select TaskID From tblTasks Where TaskName='Shed'"), "8");
    EXPECT_EQ(Stored(8), QStringList{"0|ann|2|500"});
}

}  // namespace
