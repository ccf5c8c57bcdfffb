// What the ledger window opens: the task editor, the action heads editor, and the export of the
// ledger on show. When an editor closes it refills the window's head and status lists; the task
// list waits for the next refresh.
#include "editors/frmHeads.h"
#include "editors/frmTask.h"
#include "export/TaskReport.h"
#include "ledger/Steps.h"
#include "ledger/frmMainMenu.h"
#include "ui/Seams.h"

#include <QLabel>
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
    ExportTaskReport(*gdTansactionsList, lblTaskNo->text(), lblTaskName->text(), zeMoneyReceived->text(),
                     zeMoneySpent->text(), txtCashInWallet->text());
}
