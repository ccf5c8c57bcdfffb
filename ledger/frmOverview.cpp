// The projects overview window: the table of the user's projects with its totals row, the chart of
// planned against spent, and the selected project's three charts, each of which can be saved as PNG.
#include "ledger/frmOverview.h"

#include "data/Budgets.h"
#include "data/Failure.h"
#include "data/MyFun.h"
#include "ledger/ProjectCharts.h"
#include "shell/frmHelp.h"
#include "ui/Look.h"
#include "ui/OutputFile.h"
#include "ui/Seams.h"
#include "ui/Window.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPainter>
#include <QFile>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>
#include <QtCharts/QChartView>
#include <algorithm>
#include <cmath>
#include <limits>

// The projects as table rows, sorted by any column with the totals row kept last.
class OverviewModel : public QAbstractTableModel {
public:
    OverviewModel(std::vector<ProjectFigures> projects, QObject *parent)
        : QAbstractTableModel(parent), m_projects(std::move(projects)), m_order(m_projects.size())
    {
        for (size_t i = 0; i < m_order.size(); ++i)
            m_order[i] = int(i);
        for (const ProjectFigures &p : m_projects) {
            m_total.planned += p.planned;
            m_total.received += p.received;
            m_total.spent += p.spent;
            // The plan's columns add up what the planned projects have; empty when none has it.
            addTo(m_total.planByHeads, p.planByHeads);
            addTo(m_total.forecastOnPlan, p.forecastOnPlan);
            addTo(m_total.forecastAtRate, p.forecastAtRate);
        }
    }

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_order.size()) + 1;
    }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : frmOverview::ColumnCount;
    }
    const std::vector<ProjectFigures> &Projects() const { return m_projects; }
    bool IsTotals(int row) const { return row == int(m_order.size()); }
    // The project on a row; nullptr for the totals row.
    const ProjectFigures *ProjectAt(int row) const
    {
        return row >= 0 && row < int(m_order.size()) ? &m_projects[size_t(m_order[size_t(row)])] : nullptr;
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        static const char *const names[] = {"ID",       "Project / Task", "Status",  "Start Date",
                                            "Planned",  "Received",       "Spent",   "Balance",
                                            "Spent / Planned", "Plan by\nheads", "Forecast\non plan",
                                            "Forecast\nat rate"};
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < frmOverview::ColumnCount)
            return QString::fromLatin1(names[section]);
        return {};
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        const ProjectFigures *p = ProjectAt(index.row());
        const ProjectFigures &f = p ? *p : m_total;
        const int c = index.column();
        switch (role) {
        case Qt::DisplayRole:
            switch (c) {
            case frmOverview::Id: return p ? QString::number(f.id) : QString();
            case frmOverview::Name:
                return !p ? QStringLiteral("Total")
                          : f.owner.isEmpty() ? f.name : QStringLiteral("%1 (%2's)").arg(f.name, f.owner);
            case frmOverview::Status: return f.status;
            case frmOverview::Start: return FormatDate(f.start);
            case frmOverview::Planned: return FormatFixed2(f.planned);
            case frmOverview::Received: return FormatFixed2(f.received);
            case frmOverview::Spent: return FormatFixed2(f.spent);
            case frmOverview::Balance: return FormatFixed2(f.balance());
            case frmOverview::SpentShare:
                return f.planned > 0 ? QString::number(f.spent / f.planned * 100, 'f', 1) + QStringLiteral(" %")
                                     : QStringLiteral("\u2014");
            case frmOverview::PlanByHeads: return optionalAmount(f.planByHeads);
            case frmOverview::ForecastOnPlan: return optionalAmount(f.forecastOnPlan);
            case frmOverview::ForecastAtRate: return optionalAmount(f.forecastAtRate);
            }
            break;
        case Qt::UserRole:  // the share drawn as a bar: none where nothing is planned
            if (c == frmOverview::SpentShare && f.planned > 0)
                return f.spent / f.planned;
            break;
        case Qt::TextAlignmentRole:
            if (c == frmOverview::Name || c == frmOverview::Status)
                return int(Qt::AlignLeft | Qt::AlignVCenter);
            return int((c == frmOverview::Start || c == frmOverview::SpentShare ? Qt::AlignHCenter : Qt::AlignRight) |
                       Qt::AlignVCenter);
        case Qt::FontRole:
            if (!p) {
                QFont bold = QApplication::font();
                bold.setBold(true);
                return bold;
            }
            break;
        case Qt::BackgroundRole:
            if (!p)
                return QColor(0xE4, 0xE7, 0xF0);
            break;
        }
        return {};
    }

    // Sorts the projects; the totals row stays last. The rows keep their selection.
    void sort(int column, Qt::SortOrder order) override
    {
        Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        const std::vector<int> before = m_order;
        const auto less = [&](int a, int b) {
            const ProjectFigures &x = m_projects[size_t(a)], &y = m_projects[size_t(b)];
            const int c = compare(x, y, column);
            return c != 0 ? (order == Qt::AscendingOrder ? c < 0 : c > 0) : x.id < y.id;
        };
        std::sort(m_order.begin(), m_order.end(), less);
        std::vector<int> rowOf(m_order.size());
        for (size_t r = 0; r < m_order.size(); ++r)
            rowOf[size_t(m_order[r])] = int(r);
        const QModelIndexList from = persistentIndexList();
        QModelIndexList to;
        for (const QModelIndex &i : from)
            to << (IsTotals(i.row()) ? index(i.row(), i.column())
                                     : index(rowOf[size_t(before[size_t(i.row())])], i.column()));
        changePersistentIndexList(from, to);
        Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }

private:
    static void addTo(std::optional<double> &total, const std::optional<double> &value)
    {
        if (value)
            total = total.value_or(0.0) + *value;
    }
    static QString optionalAmount(const std::optional<double> &value)
    {
        return value ? FormatFixed2(*value) : QString();
    }

    // Numbers as numbers, dates as dates, texts in any letter case; where nothing is planned the
    // share sorts below every real one, and so does an empty plan or forecast.
    static int compare(const ProjectFigures &x, const ProjectFigures &y, int column)
    {
        const auto cmp = [](auto a, auto b) { return a < b ? -1 : b < a ? 1 : 0; };
        const auto share = [](const ProjectFigures &f) {
            return f.planned > 0 ? f.spent / f.planned : -std::numeric_limits<double>::infinity();
        };
        const auto known = [](const std::optional<double> &v) {
            return v.value_or(-std::numeric_limits<double>::infinity());
        };
        switch (column) {
        case frmOverview::Name: return x.name.compare(y.name, Qt::CaseInsensitive);
        case frmOverview::Status: return x.status.compare(y.status, Qt::CaseInsensitive);
        case frmOverview::Start: return cmp(x.start.toJulianDay(), y.start.toJulianDay());
        case frmOverview::Planned: return cmp(x.planned, y.planned);
        case frmOverview::Received: return cmp(x.received, y.received);
        case frmOverview::Spent: return cmp(x.spent, y.spent);
        case frmOverview::Balance: return cmp(x.balance(), y.balance());
        case frmOverview::SpentShare: return cmp(share(x), share(y));
        case frmOverview::PlanByHeads: return cmp(known(x.planByHeads), known(y.planByHeads));
        case frmOverview::ForecastOnPlan: return cmp(known(x.forecastOnPlan), known(y.forecastOnPlan));
        case frmOverview::ForecastAtRate: return cmp(known(x.forecastAtRate), known(y.forecastAtRate));
        default: return cmp(x.id, y.id);
        }
    }

    const std::vector<ProjectFigures> m_projects;  // in TaskID order
    std::vector<int> m_order;  // the project shown on each row
    ProjectFigures m_total;
};

namespace {

// Spent as a share of planned: a bar under the percentage, red beyond 100 %.
class ShareDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString text = opt.text;
        opt.text.clear();
        QStyle *style = opt.widget ? opt.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
        painter->save();
        const QVariant share = index.data(Qt::UserRole);
        if (share.isValid()) {
            const double r = share.toDouble();
            QRect bar = opt.rect.adjusted(3, 3, -3, -3);
            bar.setWidth(int(std::lround(bar.width() * std::clamp(r, 0.0, 1.0))));
            painter->fillRect(bar, r > 1.0 ? QColor(0xEF, 0x83, 0x83) : QColor(0xA5, 0xD6, 0xA7));
        }
        const bool selected = opt.state & QStyle::State_Selected;
        painter->setPen(opt.palette.color(selected && !share.isValid() ? QPalette::HighlightedText : QPalette::Text));
        painter->setFont(opt.font);
        painter->drawText(opt.rect.adjusted(4, 0, -4, 0), Qt::AlignCenter, text);
        painter->restore();
    }
};

ui::NameLabel *whiteLabel(const QString &name, const QString &text, QWidget *parent, bool bold = false)
{
    auto *l = new ui::NameLabel(name, parent);
    l->setText(text);
    ui::MakeLabelWhite(l);
    if (bold) {
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
    }
    return l;
}

QChartView *chartView(const QString &name, const QString &accessibleName, QWidget *parent)
{
    auto *v = new QChartView(parent);
    v->setObjectName(name);
    v->setAccessibleName(accessibleName);
    v->setRenderHint(QPainter::Antialiasing);
    v->setFocusPolicy(Qt::StrongFocus);
    v->setMinimumSize(320, 220);
    return v;
}

QPushButton *saveButton(const QString &name, const QString &what, QWidget *parent)
{
    QPushButton *b = ui::CaptionButton(name, QStyle::SP_DialogSaveButton, QStringLiteral("Save chart as PNG"),
                                       QStringLiteral("Save the chart of ") + what + QStringLiteral(" as a PNG picture"),
                                       parent);
    b->setAccessibleName(QStringLiteral("Save chart of ") + what + QStringLiteral(" as PNG"));
    b->setIconSize(QSize(18, 18));
    b->setAutoDefault(false);
    return b;
}

// Puts a new chart on a view and frees the one it replaces.
void showChart(QChartView *view, QChart *chart)
{
    QChart *old = view->chart();
    view->setChart(chart);
    delete old;
}

}  // namespace

frmOverview::frmOverview(qint32 statusId, QWidget *parent) : QDialog(parent)
{
    ui::NameDialog(this, QStringLiteral("frmOverview"), QStringLiteral("Overview"));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setModal(true);
    setSizeGripEnabled(true);
    ui::ApplyBackground(this);

    std::vector<ProjectFigures> projects;
    Reported([&] { projects = LoadProjectFigures(CurrentUserId, statusId); });
    // The projects shared with the user among them, in number order. A database without members
    // has none to add, and says nothing of it.
    std::vector<ProjectFigures> shared;
    TryStep([&] { shared = LoadSharedProjectFigures(CurrentUserId, statusId); });
    if (!shared.empty()) {
        projects.insert(projects.end(), shared.begin(), shared.end());
        std::sort(projects.begin(), projects.end(),
                  [](const ProjectFigures &a, const ProjectFigures &b) { return a.id < b.id; });
    }
    // The plans' totals and forecasts of every project at once, in one read of the data layer.
    // Without projects (or after their read failed and was told) there is nothing to plan.
    if (!projects.empty()) {
        std::map<qint32, ProjectForecast> forecasts;
        Reported([&] { forecasts = LoadForecasts(ui::Today()); });
        AttachForecasts(projects, forecasts);
    }

    lblUser = whiteLabel(QStringLiteral("lblUser"), QStringLiteral("Projects / Tasks of ") + CurrentUserId, this, true);
    if (statusId > 1 && !projects.empty())
        lblUser->setText(lblUser->text() + QStringLiteral(" \u2014 ") + projects.front().status);
    cmdClose = ui::CaptionButton(QStringLiteral("cmdClose"), QStyle::SP_DialogCloseButton, QStringLiteral("Close"),
                                 QStringLiteral("Close"), this);
    cmdClose->setAutoDefault(false);

    m_model = new OverviewModel(std::move(projects), this);
    tblProjects = new QTableView(this);
    tblProjects->setObjectName(QStringLiteral("tblProjects"));
    tblProjects->setAccessibleName(QStringLiteral("Projects / Tasks"));
    tblProjects->setModel(m_model);
    tblProjects->setItemDelegateForColumn(SpentShare, new ShareDelegate(tblProjects));
    tblProjects->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblProjects->setSelectionMode(QAbstractItemView::SingleSelection);
    tblProjects->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblProjects->setAlternatingRowColors(true);
    tblProjects->setWordWrap(false);
    tblProjects->setFocusPolicy(Qt::StrongFocus);
    tblProjects->setTabKeyNavigation(false);  // Tab leaves the table for the charts; arrows move in it
    tblProjects->verticalHeader()->hide();
    tblProjects->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    tblProjects->verticalHeader()->setDefaultSectionSize(tblProjects->fontMetrics().height() + 8);
    const int widths[ColumnCount] = {44, 170, 76, 84, 84, 84, 84, 84, 108, 84, 84, 84};
    for (int c = 0; c < ColumnCount; ++c)
        tblProjects->setColumnWidth(c, widths[c]);
    // The name takes what the numbers leave, and never less than a few words.
    tblProjects->horizontalHeader()->setSectionResizeMode(Name, QHeaderView::Stretch);
    tblProjects->setMinimumWidth(760);
    tblProjects->horizontalHeader()->setSortIndicator(Id, Qt::AscendingOrder);
    tblProjects->setSortingEnabled(true);

    chtPlannedSpent = chartView(QStringLiteral("chtPlannedSpent"), QStringLiteral("Planned and spent"), this);
    chtBalance = chartView(QStringLiteral("chtBalance"), QStringLiteral("Running balance"), this);
    chtSpending = chartView(QStringLiteral("chtSpending"), QStringLiteral("Spent by head"), this);
    chtBudget = chartView(QStringLiteral("chtBudget"), QStringLiteral("Plan by heads"), this);
    showChart(chtPlannedSpent, MakePlannedSpentChart(Projects()));
    btnSaveChart1 = saveButton(QStringLiteral("btnSaveChart1"), QStringLiteral("planned and spent"), this);
    btnSaveChart2 = saveButton(QStringLiteral("btnSaveChart2"), QStringLiteral("the running balance"), this);
    btnSaveChart3 = saveButton(QStringLiteral("btnSaveChart3"), QStringLiteral("spending by head"), this);
    btnSaveChart4 = saveButton(QStringLiteral("btnSaveChart4"), QStringLiteral("the plan by heads"), this);
    lblProject = whiteLabel(QStringLiteral("lblProject"), QString(), this, true);

    // The table with the selected project's running balance and spending under it; beside them the
    // chart of every project, tall enough for its twenty names to have a line each, and under it the
    // selected project's plan by heads, level with its other two charts.
    auto *root = new QVBoxLayout(this);
    auto *top = new QHBoxLayout();
    top->addWidget(lblUser, 1);
    top->addWidget(cmdClose);
    root->addLayout(top);
    auto *grid = new QGridLayout();
    auto *project = new QGridLayout();
    project->addWidget(chtBalance, 0, 0);
    project->addWidget(chtSpending, 0, 1);
    project->addWidget(btnSaveChart2, 1, 0, Qt::AlignRight);
    project->addWidget(btnSaveChart3, 1, 1, Qt::AlignRight);
    auto *side = new QGridLayout();
    side->addWidget(chtPlannedSpent, 0, 0);
    side->addWidget(btnSaveChart1, 1, 0, Qt::AlignRight);
    side->addWidget(chtBudget, 2, 0);
    side->addWidget(btnSaveChart4, 3, 0, Qt::AlignRight);
    side->setRowStretch(0, 3);
    side->setRowStretch(2, 2);
    grid->addWidget(tblProjects, 0, 0);
    grid->addWidget(lblProject, 1, 0);
    grid->addLayout(project, 2, 0);
    grid->addLayout(side, 0, 1, 3, 1);
    grid->setColumnStretch(0, 5);
    grid->setColumnStretch(1, 2);
    grid->setRowStretch(0, 3);
    grid->setRowStretch(2, 2);
    root->addLayout(grid, 1);

    const QList<QWidget *> order{tblProjects, chtPlannedSpent, btnSaveChart1, chtBalance,
                                 btnSaveChart2, chtSpending, btnSaveChart3, chtBudget, btnSaveChart4, cmdClose};
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnSaveChart1, &QPushButton::clicked, this, [this] { SaveChart(chtPlannedSpent); });
    connect(btnSaveChart2, &QPushButton::clicked, this, [this] { SaveChart(chtBalance); });
    connect(btnSaveChart3, &QPushButton::clicked, this, [this] { SaveChart(chtSpending); });
    connect(btnSaveChart4, &QPushButton::clicked, this, [this] { SaveChart(chtBudget); });
    connect(tblProjects->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &frmOverview::selectionChanged);

    // The first project is selected to begin with, so that its charts are on show.
    if (Projects().empty())
        showProject(0, QString());
    else
        tblProjects->setCurrentIndex(m_model->index(0, Name));
    frmHelp::AddHelpKey(this, QStringLiteral("overview"));
    ui::PlaceWindow(this, QSize(1480, 880));
}

const std::vector<ProjectFigures> &frmOverview::Projects() const { return m_model->Projects(); }

void frmOverview::selectionChanged()
{
    const ProjectFigures *p = m_model->ProjectAt(tblProjects->currentIndex().row());
    if (!p)
        showProject(0, QString());
    else if (p->id != m_selected)
        showProject(p->id, p->name);
}

void frmOverview::showProject(qint32 taskId, const QString &name)
{
    m_selected = taskId;
    m_selectedName = name;
    std::vector<BalancePoint> balance;
    std::vector<HeadSpending> spending;
    // A shared project's figures are its owner's entries.
    QString owner = CurrentUserId;
    for (const ProjectFigures &p : Projects())
        if (p.id == taskId && !p.owner.isEmpty())
            owner = p.owner;
    // The plan is read once a selection, whoever owns the project.
    ProjectBudget budget;
    budget.taskId = taskId;
    if (taskId != 0) {
        Reported([&] {
            balance = LoadRunningBalance(owner, taskId);
            spending = LoadSpendingByHead(owner, taskId);
        });
        Reported([&] { budget = BudgetOf(taskId); });
    }
    lblProject->setText(taskId != 0 ? QStringLiteral("Project %1: %2").arg(taskId).arg(name)
                                    : QStringLiteral("No project selected"));
    QChart *b = MakeBalanceChart(balance);
    QChart *s = MakeSpendingChart(spending);
    QChart *plan = MakeBudgetChart(budget);
    if (taskId != 0) {
        b->setTitle(b->title() + QStringLiteral(" \u2014 ") + name);
        s->setTitle(s->title() + QStringLiteral(" \u2014 ") + name);
        plan->setTitle(plan->title() + QStringLiteral(" \u2014 ") + name);
    }
    showChart(chtBalance, b);
    showChart(chtSpending, s);
    showChart(chtBudget, plan);
}

bool frmOverview::SaveChart(QChartView *view)
{
    const QString project = ui::ProjectFileName(m_selected, m_selectedName);
    const QString suggested = view == chtPlannedSpent ? QStringLiteral("planned-and-spent.png")
                              : view == chtBalance    ? project + QStringLiteral(" balance.png")
                              : view == chtBudget     ? project + QStringLiteral(" plan by heads.png")
                                                      : project + QStringLiteral(" spending.png");
    QString path = ui::AskSaveFile({QStringLiteral("Save chart as PNG"), QDir(QDir::homePath()).filePath(suggested),
                                    QStringLiteral("PNG images (*.png)")},
                                   this);
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".png");
    // The picture goes to a partial file beside the target, which takes its name only once it
    // is complete: a failure leaves any earlier file of that name as it was.
    // The chart alone on white: the window's colour stays out of the corners.
    QImage picture(view->size(), QImage::Format_ARGB32);
    picture.fill(Qt::white);
    {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        view->scene()->render(&painter, QRectF(picture.rect()), view->mapToScene(view->viewport()->rect()).boundingRect());
    }
    ui::OutputFile out(path);
    QString why;
    if (out.Open(&why)) {
        QFile file(out.PartialPath());
        if (!file.open(QIODevice::WriteOnly))
            why = file.errorString();
        else if (!picture.save(&file, "PNG") || !file.flush())
            why = file.error() != QFileDevice::NoError ? file.errorString()
                                                       : QStringLiteral("The picture could not be made.");
    }
    if (why.isEmpty())
        out.Commit(&why);
    if (why.isEmpty())
        return true;
    ui::MsgBox(QStringLiteral("The chart could not be saved as ") + QDir::toNativeSeparators(path) +
                   QStringLiteral(":\n") + why,
               ui::Buttons::OKOnly, ui::Icon::Critical, AppTitle);
    return false;
}
