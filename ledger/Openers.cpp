// The windows the ledger window opens: the task editor, the action heads editor, and the export
// of the ledger on show.
#include "data/MyFun.h"
#include "ledger/frmMainMenu.h"
#include "ui/Look.h"
#include "ui/Seams.h"

#include <QVBoxLayout>

namespace {
// Stands in for an editor until it is built: an empty window of that name.
void showPlaceholder(const QString &name, const QString &title, QWidget *parent)
{
    QDialog d(parent);
    d.setObjectName(name);
    d.setWindowTitle(title);
    ui::ApplyBackground(&d);
    d.resize(480, 320);
    ui::ShowModal(d);
}
}  // namespace

void frmMainMenu::btnEditTask_Click()
{
    showPlaceholder(QStringLiteral("frmTask"), QStringLiteral("Project / Task"), this);
    LoadHeads();
}

void frmMainMenu::cmdAddHead_Click()
{
    showPlaceholder(QStringLiteral("frmHeads"), QStringLiteral("Transaction Heads"), this);
    LoadHeads();
}

void frmMainMenu::btnExportXSL_Click() {}
