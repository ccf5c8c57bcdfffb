// The chosen head's plan on the ledger window: what the project on show planned for it, spent
// under it and has left, so that booking against a plan is seen while typing the entry.
#include "data/Budgets.h"
#include "editors/BudgetText.h"
#include "ledger/Steps.h"
#include "ledger/frmMainMenu.h"
#include "ui/ListItems.h"

#include <QLabel>

void frmMainMenu::ShowHeadBudget()
{
    lblHeadBudget->clear();
    const int chosen = cboTransactionHeads->ListIndex();
    if (chosen < 0 || lblTaskNo->text().isEmpty())
        return;
    TryStep([&] {
        const qint32 task = ToLong(lblTaskNo->text());
        lblHeadBudget->setText(HeadBudgetLine(StandingOf(task, cboTransactionHeads->ItemData(chosen))));
    });
}
