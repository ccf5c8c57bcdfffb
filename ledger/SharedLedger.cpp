// Whose ledger the ledger window shows and what the user may do with it: a project shared with
// the user shows its owner's ledger, books under the owner's name with the owner's heads, and lets
// a viewer change nothing. The Share and History windows open from here.
#include "data/MyFun.h"
#include "export/GridColumns.h"
#include "ledger/Steps.h"
#include "ledger/frmHistory.h"
#include "ledger/frmMainMenu.h"
#include "ledger/frmShare.h"
#include "ui/ListItems.h"
#include "ui/Seams.h"
#include "ui/Window.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

void frmMainMenu::ownAccess()
{
    m_access.role = ProjectRole::Owner;
    m_access.owner = CurrentUserId;
}

bool frmMainMenu::takeAccess(qint32 taskId, const QString &ownerCell)
{
    // The list says whose a project is: the user's own need no statement.
    if (ownerCell.isEmpty()) {
        ownAccess();
        return true;
    }
    ProjectAccess access;
    TryStep([&] { access = AccessTo(taskId); });
    if (access.owner.isEmpty())
        access.owner = ownerCell;
    if (access.role != ProjectRole::None) {
        m_access = access;
        return true;
    }
    // The owner took the project back since the list was loaded: nothing of it is shown.
    ui::MsgBox(QStringLiteral("%1 no longer shares this project with you.").arg(access.owner), ui::Buttons::OKOnly,
               ui::Icon::Information, AppTitle);
    EmptyControls();
    btnAddAction->setEnabled(false);
    lookForShared();
    LoadInGrid(m_loadedStatus);
    return false;
}

bool frmMainMenu::mayBook() const
{
    return m_access.role == ProjectRole::Owner || m_access.role == ProjectRole::Editor;
}

void frmMainMenu::applyAccess()
{
    const ProjectRole role = m_access.role;
    const bool book = mayBook();
    const QString viewer = role == ProjectRole::Viewer
                               ? QStringLiteral("You can view this project only: %1 shared it with you as a viewer.")
                                     .arg(m_access.owner)
                               : QString();
    // The entry buttons are the frames' to gate while the user may book; a viewer's stay off.
    for (QPushButton *b : {btnEditAction, btnDeleteAction, cmdAdd, cmdDelete, cmdSave})
        b->setEnabled(book);
    if (!book)
        btnAddAction->setEnabled(false);
    for (QPushButton *b : {btnAddAction, btnEditAction, btnDeleteAction, cmdAdd, cmdDelete, cmdSave})
        ui::OverrideDisabledReason(b, viewer);
    // An import is written under the user's own name and heads: the owner's alone.
    if (role != ProjectRole::Owner)
        btnImport->setEnabled(false);
    ui::OverrideDisabledReason(
        btnImport, role == ProjectRole::Editor
                       ? QStringLiteral("Only the owner, %1, can import a statement into this project.").arg(m_access.owner)
                       : viewer);
    // The heads are the owner's to make and change.
    cmdAddHead->setEnabled(role == ProjectRole::Owner);
    ui::OverrideDisabledReason(
        cmdAddHead, role == ProjectRole::Owner
                        ? QString()
                        : QStringLiteral("The heads of this project are its owner's: only %1 can add or change them.")
                              .arg(m_access.owner));
    btnShare->setEnabled(!lblTaskNo->text().isEmpty() && role == ProjectRole::Owner);
    ui::OverrideDisabledReason(
        btnShare, lblTaskNo->text().isEmpty() || role == ProjectRole::Owner
                      ? QString()
                      : QStringLiteral("Only the owner, %1, can share this project.").arg(m_access.owner));
}

void frmMainMenu::lookForShared()
{
    // A database without members (or a failure) lists the user's own projects as ever.
    bool shared = false;
    TryStep([&] {
        shared = RowsOf(QStringLiteral("Select Count(*) From tblTasks Where ") + SharedWithCondition(CurrentUserId))
                     ->Fields(0).toInt64() > 0;
    });
    m_sharedWithMe = shared;
}

void frmMainMenu::loadLedgerHeads()
{
    m_headsOf = LedgerUser();
    TryStep([&] { cls().LoadList(*cboTransactionHeads, QStringLiteral("defHeads"), QStringLiteral("Heads"),
                                 QStringLiteral("Id"), QStringLiteral("UserId"), QuoteSql(m_headsOf)); });
    loadHeadKinds();
}

void frmMainMenu::btnShare_Click()
{
    qint32 task = 0;
    if (!TryStep([&] { task = ToLong(lblTaskNo->text()); }) || m_access.role != ProjectRole::Owner)
        return;
    frmShare dialog(task, lblTaskName->text(), this);
    ui::ShowModal(dialog);
}

void frmMainMenu::btnHistory_Click()
{
    qint32 task = 0;
    TryStep([&] { task = ToLong(lblTaskNo->text()); });
    // An entry loaded with Edit: its own changes first.
    const qint32 entry = task != 0 && !bNewAction && ActionId != 0 ? ActionId : 0;
    frmHistory dialog(task, entry, task != 0 ? m_access.role : ProjectRole::Owner, this);
    ui::ShowModal(dialog);
    if (!dialog.Restored())
        return;
    // The editor's values may be those the restore replaced.
    if (FrameActionManager->isEnabled())
        ClearControls();
    if (task != 0)
        TryStep([&] { LoadInGridTransactions(task); });
    if (task == 0 || dialog.RestoredProject()) {
        lookForShared();
        LoadInGrid(m_loadedStatus);
    }
}
