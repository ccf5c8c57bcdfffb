// What the ledger window opens: the task editor, the action heads editor, the projects overview,
// and the export and the report of the ledger on show. When an editor closes it refills the window's head and status lists; the task
// list waits for the next refresh.
#include "data/MyFun.h"
#include "editors/frmHeads.h"
#include "editors/frmTask.h"
#include "export/LedgerExport.h"
#include "export/TaskReport.h"
#include "ledger/LedgerReport.h"
#include "ledger/frmImport.h"
#include "ledger/frmOverview.h"
#include "ledger/Steps.h"
#include "ledger/frmMainMenu.h"
#include "ui/Seams.h"

#include <QLabel>
#include <QTimer>
#include <QLineEdit>

void frmMainMenu::btnEditTask_Click()
{
    frmTask editor([this] { LoadHeads(); }, this);
    ui::ShowModal(editor);
}

void frmMainMenu::cmdAddHead_Click()
{
    TryStep([&] {
        frmHeads editor([this] { LoadHeads(); }, this);
        ui::ShowModal(editor);
    });
}

void frmMainMenu::btnExportXSL_Click()
{
    if (lblTaskNo->text().isEmpty()) {
        ui::MsgBox(QStringLiteral("Choose a project in the list first: Export writes the ledger on show."),
                   ui::Buttons::OKOnly, ui::Icon::Exclamation, AppTitle);
        return;
    }
    ExportTaskReport(*gdTansactionsList, lblTaskNo->text(), lblTaskName->text(), zeMoneyReceived->text(),
                     zeMoneySpent->text(), txtCashInWallet->text());
}

void frmMainMenu::btnExportAs_Click()
{
    if (!lblTaskNo->text().isEmpty())
        ExportLedgerAs(lblTaskNo->text().toInt(), this, lblTaskName->text());
}

void frmMainMenu::btnImport_Click()
{
    if (lblTaskNo->text().isEmpty())
        return;
    const qint32 task = lblTaskNo->text().toInt();
    frmImport dialog(task, lblTaskName->text(), [this, task] { LoadInGridTransactions(task); }, this);
    // The file is asked for over the dialog, which stays (with the project's imports to undo)
    // when the choice is cancelled.
    QTimer::singleShot(0, &dialog, &frmImport::ChooseFile);
    ui::ShowModal(dialog);
}

void frmMainMenu::btnOverview_Click()
{
    TryStep([&] {
        frmOverview overview(m_loadedStatus, this);
        ui::ShowModal(overview);
    });
}

void frmMainMenu::btnPrint_Click()
{
    if (!lblTaskNo->text().isEmpty())
        PrintLedger(lblTaskNo->text().toInt(), this);
}

void frmMainMenu::btnSavePdf_Click()
{
    if (!lblTaskNo->text().isEmpty())
        SaveLedgerPdf(lblTaskNo->text().toInt(), this, lblTaskName->text());
}
