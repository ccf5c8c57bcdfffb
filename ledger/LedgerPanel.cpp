// The ledger of the selected task: its entries in date order, the totals received and spent,
// the balance and its word, and the balance written back as the task's cost up to now.
#include "data/MyFun.h"
#include "export/GridColumns.h"
#include "ledger/Steps.h"
#include "ledger/frmMainMenu.h"
#include "ui/Grid.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>

namespace {
// The ledger's columns, in LedgerColumn order.
const std::vector<GridColumn> kLedgerColumns = {
    {"ID", 300, "Id"},                {"Action Name", 1500, "HeadId"},     {"Description", 1500, "Remarks"},
    {"Amount In", 1000, "AmountIn"},  {"Amount Out", 1000, "AmountOut"},   {"Date", 1000, "TransactionDate"}};
}  // namespace

void frmMainMenu::LoadGridHeadTransactions() { WriteHeader(*gdTansactionsList, kLedgerColumns); }

bool frmMainMenu::ListsEntry(qint32 entryId) const
{
    const QString id = QString::number(entryId);
    for (int row = 1; row < gdTansactionsList->Rows(); ++row)
        if (gdTansactionsList->TextMatrix(row, LedgerColumn::Id) == id)
            return true;
    return false;
}

void frmMainMenu::LoadInGridTransactions(qint32 TaskDisplayByID)
{
    freshCls();
    m_memo.clear();
    const QString task = QString::number(TaskDisplayByID);

    // A query that cannot be run leaves the ledger with its header row only.
    std::shared_ptr<RowStream> rows;
    TryStep([&] { rows = OpenLedger(LedgerUser(), TaskDisplayByID); });
    const bool loaded = FillRows(*gdTansactionsList, rows,
                                 kLedgerColumns, [this](int c, const Variant &v) {
                                     if (c == LedgerColumn::Head)
                                         return decode(v, QStringLiteral("Id"), QStringLiteral("defHeads"),
                                                       QStringLiteral("Heads"))
                                             .toString();
                                     return c == LedgerColumn::Date ? FormatDate(v.toDate()) : v.toString();
                                 }, LedgerColumn::Head);

    const QString sumSql = LedgerSumsStatement(LedgerUser(), TaskDisplayByID);
    // Without a sum the totals, the balance word and the task's cost stay as they were.
    if (TryStep([&] { cls().ExecuteSql(sumSql); }) && SharedRecordset) {
        const std::shared_ptr<Recordset> rs = SharedRecordset;
        bool hasRow = true;
        TryStep([&] { hasRow = !rs->Eof(); });
        if (hasRow) {
            double received = 0.0, spent = 0.0;
            TryStep([&] { received = LedgerTotal(rs->Fields(0)); });
            TryStep([&] { spent = LedgerTotal(rs->Fields(1)); });
            const double balance = received - spent;
            const QString balanceText = FormatFixed2(balance);
            txtCashInWallet->setText(balanceText);
            zeMoneySpent->setText(FormatNumber(spent));
            zeMoneyReceived->setText(FormatNumber(received));
            lblCost->setText(BalanceWord(received, spent));
            const QString writeBack = QStringLiteral("Update tblTasks Set CostUpToNow=") + balanceText +
                                      QStringLiteral(" Where TaskID =") + task;
            // A total beyond any number (only a file written by another tool holds one) is shown
            // but never written into a statement. A viewer's view changes nothing; an editor's
            // entries change the project's balance, which the server lets them write back.
            if (std::isfinite(balance) && Access().role != ProjectRole::Viewer)
                TryStep([&] { cls().ExecuteSql(writeBack); });
        }
    }
    btnAddAction->setEnabled(loaded);
    // The report is of the ledger on show.
    btnPrint->setEnabled(loaded);
    btnSavePdf->setEnabled(loaded);
    btnExportAs->setEnabled(loaded);
    btnImport->setEnabled(loaded);
    applyAccess();
    ShowHeadBudget();
}
