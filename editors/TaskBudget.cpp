// The project editor's plan by heads: the grid of the heads with their baseline, current plan
// and spending, the sum of the plan against the planned cost, and saving a changed plan as a new
// revision together with the project.
#include "data/MyFun.h"
#include "editors/BudgetText.h"
#include "editors/frmTask.h"
#include "ui/ListItems.h"
#include "ui/Look.h"
#include "ui/Seams.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {
// The Planned cell keeps the amount read and the text first shown for it: a cell left as shown
// keeps that amount exactly (its text has only two decimals).
constexpr int kHeadIdRole = Qt::UserRole;
constexpr int kReadRole = Qt::UserRole + 1;
constexpr int kShownRole = Qt::UserRole + 2;

QString cellAmount(const std::optional<double> &amount) { return amount ? FormatFixed2(*amount) : QString(); }

QTableWidgetItem *readOnlyCell(const QString &text, Qt::Alignment alignment)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setTextAlignment(alignment | Qt::AlignVCenter);
    return item;
}

// The amount a Planned cell holds: a cell left as shown keeps the amount read (its text has only
// two decimals), else its text is read. Answers false when the text is no amount.
bool plannedIn(const QTableWidgetItem *cell, std::optional<double> *amount)
{
    amount->reset();
    if (cell->text() == cell->data(kShownRole).toString()) {
        if (cell->data(kReadRole).isValid())
            *amount = cell->data(kReadRole).toDouble();
        return true;
    }
    return ReadPlanned(cell->text(), amount);
}

QLabel *whiteLabel(const QString &name, QWidget *parent)
{
    QLabel *l = ui::Label(name, QString(), parent);
    ui::MakeLabelWhite(l);
    return l;
}
}  // namespace

void frmTask::buildBudget(QGridLayout *fields)
{
    lblBudgetSum = whiteLabel(QStringLiteral("lblBudgetSum"), Frame1);
    fields->addWidget(lblBudgetSum, 3, 2);

    FrameBudget = ui::Frame(QStringLiteral("FrameBudget"), QStringLiteral("Plan by head"), this);
    QPalette p = FrameBudget->palette();
    p.setColor(QPalette::WindowText, Qt::white);
    FrameBudget->setPalette(p);
    auto *box = new QVBoxLayout(FrameBudget);
    lblBudgetRevision = whiteLabel(QStringLiteral("lblBudgetRevision"), FrameBudget);
    gdHeadBudget = new QTableWidget(0, BudgetColumns, FrameBudget);
    gdHeadBudget->setObjectName(QStringLiteral("gdHeadBudget"));
    gdHeadBudget->setAccessibleName(QStringLiteral("Plan by head"));
    gdHeadBudget->setHorizontalHeaderLabels(
        {QStringLiteral("Head"), QStringLiteral("Baseline"), QStringLiteral("Planned"), QStringLiteral("Spent so far")});
    gdHeadBudget->verticalHeader()->hide();
    gdHeadBudget->horizontalHeader()->setSectionResizeMode(HeadColumn, QHeaderView::Stretch);
    for (int c : {BaselineColumn, PlannedColumn, SpentColumn})
        gdHeadBudget->horizontalHeader()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    gdHeadBudget->setSelectionMode(QAbstractItemView::SingleSelection);
    gdHeadBudget->setSelectionBehavior(QAbstractItemView::SelectItems);
    // Typing in a Planned cell starts the amount; Tab leaves the grid, the arrows move in it.
    gdHeadBudget->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                                  QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    gdHeadBudget->setTabKeyNavigation(false);
    gdHeadBudget->setToolTip(QStringLiteral("Type a head's planned amount in its Planned cell; empty: not planned"));
    lblBudgetNote = whiteLabel(QStringLiteral("lblBudgetNote"), FrameBudget);
    lblBudgetNote->setWordWrap(true);
    box->addWidget(lblBudgetRevision);
    box->addWidget(gdHeadBudget, 1);
    box->addWidget(lblBudgetNote);
    FrameBudget->setEnabled(false);

    connect(gdHeadBudget, &QTableWidget::itemChanged, this, [this] {
        if (!m_marking)
            ShowBudgetSum();
    });
    connect(zeCostPlanned, &QLineEdit::textChanged, this, &frmTask::ShowBudgetSum);
}

void frmTask::ClearBudget()
{
    const QSignalBlocker quiet(gdHeadBudget);
    gdHeadBudget->setRowCount(0);
    m_loadedPlan.clear();
    lblBudgetRevision->clear();
    lblBudgetSum->clear();
    lblBudgetNote->clear();
}

void frmTask::LoadBudget(std::int32_t taskId)
{
    ClearBudget();
    ProjectBudget budget;
    bool read = TryStep([&] {
        if (taskId != 0) {
            budget = BudgetOf(taskId);
            return;
        }
        // A new project: the user's heads by name, nothing planned, nothing spent.
        const std::shared_ptr<Recordset> rows = m_cls->GetResults(
            QStringLiteral("Select Id,Heads,PlusMinus From defHeads Where UserId=") + QuoteSql(CurrentUserId) +
            QStringLiteral(" Order by Id"));
        for (; rows && !rows->Eof(); rows->MoveNext()) {
            HeadBudget head;
            head.headId = std::int32_t(rows->Fields(0).toInt64());
            head.head = rows->Fields(1).toString();
            head.expense = IsExpenseHead(rows->Fields(2));
            budget.heads.push_back(head);
        }
        SortHeadsByName(budget.heads);  // as a project's plan lists them
    });
    if (!read) {
        lblBudgetRevision->setText(QStringLiteral("The plan of this project could not be read."));
        return;
    }
    {
        const QSignalBlocker quiet(gdHeadBudget);
        gdHeadBudget->setRowCount(int(budget.heads.size()));
        for (int row = 0; row < int(budget.heads.size()); ++row) {
            const HeadBudget &h = budget.heads[size_t(row)];
            QTableWidgetItem *name = readOnlyCell(h.head, Qt::AlignLeft);
            name->setData(kHeadIdRole, h.headId);
            gdHeadBudget->setItem(row, HeadColumn, name);
            gdHeadBudget->setItem(row, BaselineColumn, readOnlyCell(cellAmount(h.baseline), Qt::AlignRight));
            auto *planned = new QTableWidgetItem(cellAmount(h.planned));
            planned->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            planned->setData(kReadRole, h.planned ? QVariant(*h.planned) : QVariant());
            planned->setData(kShownRole, planned->text());
            gdHeadBudget->setItem(row, PlannedColumn, planned);
            gdHeadBudget->setItem(row, SpentColumn, readOnlyCell(FormatFixed2(h.spent), Qt::AlignRight));
            if (h.planned)
                m_loadedPlan[h.headId] = *h.planned;
        }
        if (!budget.heads.empty())
            gdHeadBudget->setCurrentCell(0, PlannedColumn);
    }
    lblBudgetRevision->setText(RevisionText(budget.revisions));
    ShowBudgetSum();
}

bool frmTask::ReadPlan(std::map<std::int32_t, double> *plan)
{
    plan->clear();
    for (int row = 0; row < gdHeadBudget->rowCount(); ++row) {
        const QTableWidgetItem *cell = gdHeadBudget->item(row, PlannedColumn);
        const std::int32_t headId = gdHeadBudget->item(row, HeadColumn)->data(kHeadIdRole).toInt();
        std::optional<double> amount;
        if (!plannedIn(cell, &amount)) {
            ui::MsgBox(QStringLiteral("The planned amount of %1 must be a number of 0 or more (or empty: not planned). "
                                      "\"%2\" is not.")
                           .arg(gdHeadBudget->item(row, HeadColumn)->text(), cell->text()),
                       ui::Buttons::OKOnly, ui::Icon::Exclamation, AppTitle);
            gdHeadBudget->setFocus();
            gdHeadBudget->setCurrentCell(row, PlannedColumn);
            return false;
        }
        if (amount)
            (*plan)[headId] = *amount;
    }
    return true;
}

void frmTask::ShowBudgetSum()
{
    if (gdHeadBudget->rowCount() == 0) {
        lblBudgetSum->clear();
        lblBudgetNote->clear();
        return;
    }
    double sum = 0;
    bool any = false;
    const QSignalBlocker quiet(gdHeadBudget);
    m_marking = true;
    for (int row = 0; row < gdHeadBudget->rowCount(); ++row) {
        QTableWidgetItem *cell = gdHeadBudget->item(row, PlannedColumn);
        std::optional<double> amount;
        const bool ok = plannedIn(cell, &amount);
        cell->setForeground(ok ? QBrush() : QBrush(QColor(0xC6, 0x28, 0x28)));
        cell->setToolTip(ok ? QString() : QStringLiteral("Not an amount: type a number of 0 or more, or leave it empty"));
        if (ok && amount) {
            sum += *amount;
            any = true;
        }
    }
    m_marking = false;
    lblBudgetSum->setText(QStringLiteral("Heads' plans: ") +
                          (any ? BudgetAmount(sum) : QStringLiteral("none")));
    double cost = 0;
    const bool costKnown = ReadNumber(zeCostPlanned->text(), &cost, true);
    lblBudgetNote->setText(PlanSumNote(any, sum, costKnown, cost));
}

bool frmTask::SavePlan(std::int32_t taskId, const std::map<std::int32_t, double> &plan)
{
    if (taskId == 0 || plan == m_loadedPlan)
        return true;
    try {
        SaveBudget(taskId, plan);
        m_loadedPlan = plan;
        return true;
    } catch (const std::exception &e) {
        const SqlError *sql = dynamic_cast<const SqlError *>(&e);
        ui::MsgBox(QStringLiteral("The project is saved, but its plan by heads is not: %1\nSave again to save the plan.")
                       .arg(sql ? sql->description() : QString::fromLocal8Bit(e.what())),
                   ui::Buttons::OKOnly, ui::Icon::Exclamation, AppTitle);
    }
    // A new project is now in the list: the next Save changes it rather than adding another.
    if (!EditMode) {
        const int status = cboStatus->ListIndex();
        TryStep([&] { LoadInList(); });
        cboStatus->SetListIndex(status);
        for (int i = 0; i < lstTasks->ListCount(); ++i)
            if (lstTasks->ItemData(i) == taskId)
                lstTasks->SetListIndex(i);
        EditMode = lstTasks->ListIndex() >= 0 && lstTasks->ItemData(lstTasks->ListIndex()) == taskId;
    }
    return false;
}
