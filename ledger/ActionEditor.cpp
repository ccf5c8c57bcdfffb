// The entry editor of the ledger window: adding, editing and deleting the entries of the
// selected task.
#include "data/Budgets.h"
#include "data/MyFun.h"
#include "export/GridColumns.h"
#include "ledger/Steps.h"
#include "ledger/frmMainMenu.h"
#include "ui/DatePicker.h"
#include "ui/Grid.h"
#include "ui/ListItems.h"
#include "ui/Seams.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
const char *const kFields = "UserId<<>>TransactionDate<<>>HeadId<<>>AmountIn<<>>AmountOut<<>>Remarks<<>>TaskID";
}

void frmMainMenu::ClearControls()
{
    txtTransactionAmount->setText(QStringLiteral("0"));
    txtTransactionRemarks->clear();
    FrameActionManager->setEnabled(false);
    Frame4->setEnabled(false);
    Frame3->setEnabled(false);
    bNewAction = true;
    cmdAdd->setFocus();  // refused while its frame is disabled, as intended
}

// Opens the editor for a new entry; the head and the date keep their last values.
void frmMainMenu::startAdd()
{
    FrameActionManager->setEnabled(true);
    bNewAction = true;
    txtTransactionAmount->setText(QStringLiteral("0"));
    txtTransactionRemarks->clear();
    dtTransactionDate->setFocus();
    Frame4->setEnabled(true);
}

void frmMainMenu::btnAddAction_Click()
{
    if (!lblTaskNo->text().isEmpty())
        startAdd();
    else
        ui::MsgBox(QStringLiteral("Choose a project in the list first: Add books an entry on it."), ui::Buttons::OKOnly,
                   ui::Icon::Exclamation, AppTitle);
}

void frmMainMenu::cmdAdd_Click()
{
    startAdd();
    Frame3->setEnabled(false);
}

void frmMainMenu::EditAction(bool ask)
{
    ui::Grid &g = *gdTansactionsList;
    // A viewer's double-click opens nothing to change.
    if (g.Row() < 1 || !mayBook())
        return;
    // A row without an entry (the ledger was emptied) has nothing to load.
    qint32 id = 0;
    if (!TryStep([&] { id = ToLong(g.TextMatrix(g.Row(), LedgerColumn::Id)); }))
        return;
    if (ask && ui::MsgBox(QStringLiteral("Want to edit this action ?"), ui::Buttons::YesNo, ui::Icon::Question,
                          AppTitle) != ui::Answer::Yes)
        return;
    TryStep([&] {
        g.SetCol(LedgerColumn::Date);
        const QDate date = ParseShortDate(g.Text());
        if (!date.isValid())
            throw SqlError(QStringLiteral("Type mismatch"));
        dtTransactionDate->SetValue(date);
    });
    // The entry's own head, by its number: two heads may share a name. A head that is gone
    // leaves none chosen, and Save asks for one.
    cboTransactionHeads->SetListIndex(-1);
    TryStep([&] {
        cls().ExecuteSql(QStringLiteral("Select HeadId from tblTransaction Where Id=") + QString::number(id));
        const qint64 headId = SharedRecordset->Fields(0).toInt64();
        for (int i = 0; i < cboTransactionHeads->ListCount(); ++i)
            if (cboTransactionHeads->ItemData(i) == headId)
                cboTransactionHeads->SetListIndex(i);
    });
    TryStep([&] {
        g.SetCol(LedgerColumn::Remarks);
        txtTransactionRemarks->setText(g.Text());
    });
    TryStep([&] {
        g.SetCol(LedgerColumn::AmountIn);
        // An entry shows what it received when that is not 0 (a negative income included),
        // else what it spent. A text that is no number counts as received.
        bool received = true;
        TryStep([&] { received = ToNumber(g.Text()) != 0.0; });
        if (!received)
            g.SetCol(LedgerColumn::AmountOut);
        txtTransactionAmount->setText(g.Text());
    });
    g.SetCol(LedgerColumn::Id);
    ActionId = id;
    bNewAction = false;
    FrameActionManager->setEnabled(true);
    Frame3->setEnabled(true);
    Frame4->setEnabled(true);
}

void frmMainMenu::btnEditAction_Click() { EditAction(false); }

void frmMainMenu::gdTansactionsList_DblClick() { EditAction(true); }

void frmMainMenu::cmdSave_Click()
{
    if (!mayBook())
        return;
    freshCls();
    if (cboTransactionHeads->currentText().isEmpty()) {
        ui::MsgBox(QStringLiteral("Select an action to add from the list."), ui::Buttons::OKOnly,
                   ui::Icon::Exclamation, AppTitle);
        // A user without any head yet is led to the button that makes one.
        if (cboTransactionHeads->ListCount() == 0)
            cmdAddHead->setFocus();
        return;
    }
    // Only a finite number of a size the program can show is saved; anything else is refused as
    // typed, so that no amount is silently taken as another.
    double amount = 0.0;
    if (!ReadAmount(txtTransactionAmount->text(), &amount)) {
        ui::MsgBox(QStringLiteral("Amount must be a number."), ui::Buttons::OKOnly, ui::Icon::Exclamation, AppTitle);
        txtTransactionAmount->setFocus();
        txtTransactionAmount->selectAll();
        return;
    }

    // A year typed by mistake (1207 for 2012) is asked about before it is booked.
    if (ui::IsFarDate(dtTransactionDate->Value(), ui::Today()) && !ui::ConfirmFarDate(dtTransactionDate->Value())) {
        dtTransactionDate->setFocus();
        return;
    }

    qint32 headId = 0;
    TryStep([&] { headId = cboTransactionHeads->ItemData(cboTransactionHeads->ListIndex()); });
    // The head's type decides the column. When its row has gone, nothing is stored.
    Variant plusMinus;
    const bool typeRead = TryStep([&] {
        cls().ExecuteSql(QStringLiteral("Select PlusMinus from defHeads Where Id=") + QString::number(headId));
        plusMinus = SharedRecordset->Fields(0);
    });
    if (!typeRead) {
        ui::MsgBox(QStringLiteral("Select an action to add from the list."), ui::Buttons::OKOnly,
                   ui::Icon::Exclamation, AppTitle);
        return;
    }
    const bool income = !plusMinus.isNull() && plusMinus.toDouble() == 0.0;
    const double amountIn = income ? amount : 0.0;
    const double amountOut = income ? 0.0 : amount;

    // Without a task number there is no value list, and the writer refuses the save.
    QString values;
    TryStep([&] {
        const qint32 taskId = ToLong(lblTaskNo->text());
        // A member books under the owner's name, as the owner's ledger holds it.
        values = JoinList({QuoteSql(LedgerUser()), DateLiteral(dtTransactionDate->Value()), QString::number(headId),
                           FormatNumber(amountIn), FormatNumber(amountOut), QuoteSql(txtTransactionRemarks->text()),
                           QString::number(taskId)});
    });
    // Where the head stood against its plan before this entry: when it has no plan in the project,
    // this one statement is all the plan costs the save.
    qint32 planTask = 0;
    HeadStanding before;
    const bool planned = TryStep([&] {
        planTask = ToLong(lblTaskNo->text());
        before = StandingOf(planTask, headId);
    }) && before.planned;

    const QString fields = QString::fromLatin1(kFields);
    if (bNewAction)
        cls().AddNew(QStringLiteral("tblTransaction"), fields, values, QStringLiteral("Id"), kListDelimiter);
    else
        cls().UpdateData(QStringLiteral("tblTransaction"), fields, values, QStringLiteral("Id"), Variant(ActionId),
                         kListDelimiter);
    // Another program held the file: the entry stays in the editor, for Save again.
    if (cls().Busy())
        return;
    const qint32 saved = bNewAction ? cls().LastKey() : ActionId;  // the reload makes a new data object
    TryStep([&] { LoadInGridTransactions(ToLong(lblTaskNo->text())); });
    showSaved(saved);
    ClearControls();
    cmdAdd->setFocus();
    // The entry is saved either way; the user is told once, when it takes the head over its plan.
    QString overPlan;
    if (planned)
        TryStep([&] { overPlan = OverPlanMessage(StandingOf(planTask, headId), before.spent); });
    if (!overPlan.isEmpty())
        ui::MsgBox(overPlan, ui::Buttons::OKOnly, ui::Icon::Information, AppTitle);
}

// Highlights the entry just saved (its Id) and scrolls the ledger to it. Only the rows up to it
// are stepped: the rest keep streaming.
void frmMainMenu::showSaved(qint32 target)
{
    ui::Grid &g = *gdTansactionsList;
    for (int row = 1; target > 0; ++row) {
        while (row >= g.RowsLoaded() && g.LoadMore()) {
        }
        if (row >= g.RowsLoaded())
            return;
        if (g.TextMatrix(row, LedgerColumn::Id).toLongLong() == target) {
            g.SetRow(row);
            g.scrollTo(g.model()->index(row - 1, 0));
            return;
        }
    }
}

void frmMainMenu::btnActionCancel_Click() { ClearControls(); }

void frmMainMenu::btnDeleteAction_Click()
{
    trace(QStringLiteral("btnDeleteAction_Click()-Entering "));
    QString sql;
    ui::Grid &g = *gdTansactionsList;
    if (g.Row() >= 1 && mayBook()) {
        qint32 id = 0;
        TryStep([&] {
            g.SetCol(LedgerColumn::Id);
            id = ToLong(g.Text());
        });
        const QString action = g.TextMatrix(g.Row(), LedgerColumn::Head);
        const QString description = g.TextMatrix(g.Row(), LedgerColumn::Remarks);
        const ui::Answer answer =
            ui::MsgBox(QStringLiteral("Want to delete this action '") + action + QStringLiteral("'\r\nwith comment :'") +
                           description + QStringLiteral("' ?"),
                       ui::Buttons::YesNo, ui::Icon::Question, AppTitle, 2);
        if (answer == ui::Answer::Yes) {
            sql = QStringLiteral("Delete from tblTransaction Where Id=") + QString::number(id);
            TryWrite([&] { cls().ExecuteSql(sql); });
        }
        TryStep([&] { LoadInGridTransactions(ToLong(lblTaskNo->text())); });
    }
    trace(QStringLiteral("btnDeleteAction_Click()-OK (") + sql + QLatin1Char(')'));
}

void frmMainMenu::cmdDelete_Click()
{
    // Only the entry that Edit loaded, and only while the ledger on show still lists it.
    if (bNewAction || !ListsEntry(ActionId) || !mayBook())
        return;
    if (ui::MsgBox(QStringLiteral("Want To Delete This Record"), ui::Buttons::YesNo, ui::Icon::Question, AppTitle,
                   2) == ui::Answer::Yes)
        TryWrite([&] { cls().ExecuteSql(QStringLiteral("Delete from tblTransaction Where Id=") + QString::number(ActionId)); });
    ClearControls();
    // The ledger on show no longer carries the deleted entry, nor do its totals.
    if (!lblTaskNo->text().isEmpty())
        TryStep([&] { LoadInGridTransactions(ToLong(lblTaskNo->text())); });
    LoadInGrid(0);
}
