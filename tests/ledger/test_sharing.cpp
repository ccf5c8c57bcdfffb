// A project shared by its owner with an editor and a viewer, driven through the ledger window as
// each of them: the members window, the shared project in the task list, an entry the editor books
// under the owner's name, a viewer who can change nothing, and the history with its Restore; on
// both engines.
#include "TestSupport.h"

#include "data/Sharing.h"
#include "export/GridColumns.h"
#include "export/LedgerExport.h"
#include "ledger/frmHistory.h"
#include "ledger/frmMainMenu.h"
#include "ledger/frmOverview.h"
#include "ledger/frmShare.h"
#include "ui/DatePicker.h"
#include "ui/Grid.h"
#include "ui/ListItems.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QTableView>
#include <QTableWidget>

namespace {

using ui::Answer;

// ann owns Garage (7) with one entry and the heads Cement and Client; bob (her editor-to-be) owns
// Bobs (9) and the head Wages; cy will be her viewer.
class SharingTest : public OnBothEngines<ProgramFolderTest> {
protected:
    void SetUp() override
    {
        OnBothEngines::SetUp();
        Scene("ann", {"defHeads VALUES (1,'Cement',1,'ann'),(2,'Client',0,'ann'),(3,'Wages',1,'bob')",
                      "tblTasks VALUES (7,'ann',3,'Garage','2024-03-01',NULL,0,500,' '),"
                      "(9,'bob',2,'Bobs','2024-01-01',NULL,0,100,' ')",
                      "tblTransaction VALUES (1,'ann','2024-03-05',1,0,120,'bags',7)"});
        for (const char *user : {"bob", "cy"}) {
            if (server)
                ASSERT_EQ(server->AddUser(user), AddUserOutcome::Added);
            else
                Seed(QString("INSERT INTO tblUsers (Id,UserId,Passwd) VALUES (%1,'%2','x')").arg(user[0] == 'b' ? 2 : 3).arg(user));
        }
        Open();
    }
    // Logs in as the user (their own server role) and opens the ledger window.
    void As(const QString &user)
    {
        w.reset();
        Connect(user);
        Open();
    }
    void Connect(const QString &user)
    {
        if (server)
            SharedConnection.Use(std::make_unique<PgEngine>(server->conninfo, ServerRoleOf(user), ServerScene::kUserPassword));
        CurrentUserId = user;
    }
    void Open() { w = std::make_unique<frmMainMenu>(); w->show(); StatementLog::Clear(); }
    // Clicks the task list's row of the project.
    void Show(const QString &project)
    {
        ui::Grid *g = w->gdPreviewList;
        for (int r = 1; r < g->Rows(); ++r)
            if (g->TextMatrix(r, TaskColumn::Name) == project) {
                QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(r - 1, 1)).center());
                return;
            }
        ADD_FAILURE() << "no project " << project.toStdString() << " in the list";
    }
    static QStringList Rows(ui::Grid *g, std::initializer_list<int> cols)
    {
        QStringList out;
        for (int r = 1; r < g->Rows(); ++r) {
            QStringList row;
            for (int c : cols)
                row << g->TextMatrix(r, c);
            out << row.join('|');
        }
        return out;
    }
    // The history window's rows as "who|what|from|to".
    static QStringList Changes(frmHistory &h)
    {
        QStringList out;
        const QAbstractItemModel *m = h.gdHistory->model();
        for (int r = 0; r < m->rowCount(); ++r)
            out << QStringList{m->index(r, 1).data().toString(), m->index(r, 2).data().toString(),
                               m->index(r, 3).data().toString(), m->index(r, 4).data().toString()}.join('|');
        return out;
    }
    static int RowOf(frmHistory &h, const QString &whatStart)
    {
        const QStringList rows = Changes(h);
        for (int r = 0; r < rows.size(); ++r)
            if (rows[r].section('|', 1, 1).startsWith(whatStart, Qt::CaseInsensitive))
                return r;
        return -1;
    }

    std::unique_ptr<frmMainMenu> w;
    ScriptedModals modals;
};
QMK_ON_BOTH_ENGINES(SharingTest);

// The owner adds members in the Share window: a name that is no user is refused with a box, Enter
// in the name adds, a member chosen in the grid can be removed after asking; only the owner's
// project on show has the button.
TEST_P(SharingTest, TheOwnerSharesThroughTheShareWindow)
{
    EXPECT_FALSE(w->btnShare->isEnabled());  // nothing on show
    EXPECT_EQ(w->btnShare->accessibleName(), "Share project\u2026");
    EXPECT_EQ(Rows(w->gdPreviewList, {TaskColumn::Id, TaskColumn::Owner}), QStringList{"7|"});  // bob's is not hers
    Show("Garage");
    ASSERT_TRUE(w->btnShare->isEnabled());
    modals.Then([&](QDialog &d) {
        auto &s = static_cast<frmShare &>(d);
        EXPECT_EQ(s.cboMemberRole->itemText(0) + "," + s.cboMemberRole->itemText(1), "Viewer,Editor");
        TypeText(s.txtMemberName, "nobody");
        boxes.Expect(Answer::OK);
        Press(s.txtMemberName, Qt::Key_Return);
        EXPECT_EQ(boxes.Last(), "No user named nobody exists.|3|" + AppTitle + "|0|1");
        s.txtMemberName->clear();
        TypeText(s.txtMemberName, "bob");
        s.cboMemberRole->setCurrentIndex(1);
        s.cmdAddMember->click();
        TypeText(s.txtMemberName, "cy");
        s.cboMemberRole->setCurrentIndex(0);
        Press(s.txtMemberName, Qt::Key_Return);
        QStringList shown;
        for (int r = 0; r < s.gdMembers->rowCount(); ++r)
            shown << s.gdMembers->item(r, 0)->text() + "|" + s.gdMembers->item(r, 1)->text();
        EXPECT_EQ(shown, (QStringList{"bob|Editor", "cy|Viewer"}));
        s.gdMembers->selectRow(1);
        boxes.Expect(Answer::Yes);
        s.cmdRemoveMember->click();
        EXPECT_EQ(boxes.Last(), "Stop sharing this project with cy?|2|" + AppTitle + "|2|2");
        EXPECT_EQ(s.gdMembers->rowCount(), 1);
        s.cmdClose->click();
    });
    w->btnShare->click();
    EXPECT_EQ(modals.Opened(), 1);
    EXPECT_EQ(Joined("Select UserId, Role From tblMembers Where TaskID=7"), QStringList{"bob|Editor"});
}

// The editor's list holds the owner's project marked with her name beside his own, under the
// status filter; its ledger is hers, he books with her heads under her name, and she sees the
// entry. His own project books with his heads again; her project is not his to delete.
TEST_P(SharingTest, TheEditorBooksInTheOwnersLedgerUnderHerName)
{
    ShareProject(7, "bob", ProjectRole::Editor);
    As("bob");
    EXPECT_EQ(Rows(w->gdPreviewList, {TaskColumn::Id, TaskColumn::Name, TaskColumn::Owner}),
              (QStringList{"9|Bobs|", "7|Garage|ann"}));
    w->cboPreviewStatus->SetListIndex(2);  // Running: her project only
    Q_EMIT w->cboPreviewStatus->activated(2);
    EXPECT_EQ(Statements().first(), "Select * from tblTasks Where (UserId='bob' Or " + SharedWithCondition("bob") +
                                        ") And StatusID=3 Order by StartDate,CostUpToNow");
    EXPECT_EQ(Rows(w->gdPreviewList, {TaskColumn::Id}), QStringList{"7"});
    Show("Garage");
    EXPECT_EQ(Rows(w->gdTansactionsList, {LedgerColumn::Id, LedgerColumn::Head}), QStringList{"1|Cement"});
    EXPECT_EQ(Items(*w->cboTransactionHeads).join(','), "Cement,Client");
    EXPECT_FALSE(w->btnShare->isEnabled());
    EXPECT_FALSE(w->btnImport->isEnabled());
    EXPECT_EQ(w->btnImport->toolTip(), "Only the owner, ann, can import a statement into this project.");
    w->btnAddAction->click();
    w->cboTransactionHeads->SetListIndex(w->cboTransactionHeads->findText("Cement"));
    w->dtTransactionDate->SetValue(QDate(2024, 3, 9));
    TypeText(w->txtTransactionAmount, "25");
    TypeText(w->txtTransactionRemarks, "by bob");
    w->cmdSave->click();
    EXPECT_EQ(Joined("Select UserId, HeadId, AmountOut, TaskID From tblTransaction Where Remarks='by bob'"),
              QStringList{"ann|1|25|7"});
    EXPECT_EQ(w->zeMoneySpent->text(), "145");
    {
        frmOverview overview(0);  // his project and hers, with her sums
        QStringList shown;
        for (const ProjectFigures &p : overview.Projects())
            shown << QString("%1|%2|%3").arg(p.id).arg(p.owner).arg(p.spent);
        EXPECT_EQ(shown, (QStringList{"7|ann|145", "9||0"}));
    }

    boxes.Expect(Answer::OK);  // her project is hers to delete
    w->btnDelTask->click();
    EXPECT_EQ(boxes.Last(), "Only the owner, ann, can delete this project.|3|" + AppTitle + "|0|1");
    EXPECT_EQ(Scalar("Select Count(*) From tblTasks Where TaskID=7"), "1");
    w->btnRefresh->click();
    Show("Bobs");
    EXPECT_EQ(Items(*w->cboTransactionHeads).join(','), "Wages");

    As("ann");
    Show("Garage");
    EXPECT_EQ(Rows(w->gdTansactionsList, {LedgerColumn::Id, LedgerColumn::Remarks}).join(',').count("by bob"), 1);
    EXPECT_EQ(Rows(w->gdPreviewList, {TaskColumn::Owner}), QStringList{""});
}

// A viewer reads the ledger; every control that would change it is off and says why, a
// double-click loads nothing, and showing the ledger writes nothing. Once the owner has taken the
// project back, a click on it in a list loaded before shows nothing of it.
TEST_P(SharingTest, TheViewersChangingButtonsAreOffAndSayWhy)
{
    ShareProject(7, "cy", ProjectRole::Viewer);
    As("cy");
    Show("Garage");
    EXPECT_EQ(Rows(w->gdTansactionsList, {LedgerColumn::Remarks}), QStringList{"bags"});
    const QString why = "You can view this project only: ann shared it with you as a viewer.";
    for (QPushButton *b : {w->btnAddAction, w->btnEditAction, w->btnDeleteAction, w->cmdAdd, w->cmdDelete,
                           w->btnImport, w->cmdSave}) {
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
        EXPECT_EQ(b->toolTip(), why) << b->objectName().toStdString();
    }
    EXPECT_TRUE(w->btnExportAs->isEnabled() && w->btnPrint->isEnabled() && w->btnHistory->isEnabled());
    EXPECT_EQ(LoadLedgerTable(7).entries.size(), 1u);  // an export holds the owner's entries
    const ui::Grid *g = w->gdTansactionsList;
    QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(0, 1)).center());
    EXPECT_FALSE(w->FrameActionManager->isEnabled());
    EXPECT_TRUE(Statements().filter("Update").isEmpty() && Statements().filter("Delete").isEmpty());

    Connect("ann");
    UnshareProject(7, "cy");
    Connect("cy");
    boxes.Expect(Answer::OK);
    Show("Garage");
    EXPECT_EQ(boxes.Last(), "ann no longer shares this project with you.|4|" + AppTitle + "|0|1");
    EXPECT_EQ(w->lblTaskNo->text() + QString::number(w->gdPreviewList->Rows()), "1");
    EXPECT_TRUE(Rows(w->gdTansactionsList, {LedgerColumn::Remarks}).join("").isEmpty());
}

// The history shows who changed what from which value to which: Edit then History shows that
// entry's changes, widened by the check box; Restore brings a deleted entry back into the ledger,
// and, with no project on show, a deleted project back into the list.
TEST_P(SharingTest, TheHistoryShowsWhoChangedWhatAndRestoreBringsItBack)
{
    ShareProject(7, "bob", ProjectRole::Editor);
    As("bob");
    Show("Garage");
    w->gdTansactionsList->SetRow(1);
    w->btnEditAction->click();
    w->txtTransactionAmount->setText("130");
    w->cmdSave->click();
    w->gdTansactionsList->SetRow(1);
    w->btnEditAction->click();  // entry 1 in the editor: History shows its changes
    modals.Then([&](QDialog &d) {
        auto &h = static_cast<frmHistory &>(d);
        const int changed = RowOf(h, "Changed Entry 1: AmountOut");
        ASSERT_GE(changed, 0) << Changes(h).join('\n').toStdString();
        const QStringList cells = Changes(h)[changed].split('|');
        EXPECT_EQ(cells[0], "bob");
        EXPECT_EQ(cells[2].toDouble() * 1000 + cells[3].toDouble(), 120130);
        for (const QString &row : Changes(h))
            EXPECT_TRUE(row.contains("Entry 1:")) << row.toStdString();
        ASSERT_TRUE(h.chkAllChanges->isVisible());
        h.chkAllChanges->setChecked(true);
        EXPECT_GE(RowOf(h, "Added Member bob"), 0) << Changes(h).join('\n').toStdString();
        h.gdHistory->selectRow(RowOf(h, "Changed Entry 1: AmountOut"));  // the rows of all changes
        EXPECT_TRUE(h.cmdRestore->isEnabled());  // an earlier value can come back
    });
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    QTest::keyClick(w.get(), Qt::Key_H, Qt::ControlModifier);
    w->btnActionCancel->click();

    boxes.Expect(Answer::Yes);
    w->btnDeleteAction->click();
    ASSERT_EQ(Scalar("Select Count(*) From tblTransaction Where Id=1"), "0");
    modals.Then([&](QDialog &d) {
        auto &h = static_cast<frmHistory &>(d);
        EXPECT_FALSE(h.chkAllChanges->isVisible());
        const int deleted = RowOf(h, "Deleted Entry 1:");
        ASSERT_GE(deleted, 0) << Changes(h).join('\n').toStdString();
        EXPECT_LT(deleted, RowOf(h, "Changed Entry 1: AmountOut"));  // newest first
        h.gdHistory->selectRow(deleted);
        boxes.Expect(Answer::OK);
        h.cmdRestore->click();
        EXPECT_EQ(boxes.Last(), "Entry 1 is back in the ledger.|4|" + AppTitle + "|0|1");
        h.cmdClose->click();
    });
    w->btnHistory->click();
    EXPECT_EQ(Rows(w->gdTansactionsList, {LedgerColumn::Id, LedgerColumn::AmountOut}), QStringList{"1|130"});

    As("ann");  // the owner deletes her project; with nothing on show History holds all hers
    Show("Garage");
    boxes.Expect(Answer::Yes);
    w->btnDelTask->click();
    ASSERT_TRUE(w->lblTaskNo->text().isEmpty());
    modals.Then([&](QDialog &d) {
        auto &h = static_cast<frmHistory &>(d);
        const int deleted = RowOf(h, "Deleted Project 7:");
        ASSERT_GE(deleted, 0) << Changes(h).join('\n').toStdString();
        h.gdHistory->selectRow(deleted);
        boxes.Expect(Answer::OK);
        h.cmdRestore->click();
        EXPECT_EQ(boxes.Last(), "Project 7 is back.|4|" + AppTitle + "|0|1");
    });
    w->btnHistory->click();
    EXPECT_EQ(Rows(w->gdPreviewList, {TaskColumn::Id, TaskColumn::Name}), QStringList{"7|Garage"});
}

}  // namespace
