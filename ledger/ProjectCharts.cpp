#include "ledger/ProjectCharts.h"

#include <QtCharts/QBarCategoryAxis>
#include <QtCharts/QBarSeries>
#include <QtCharts/QBarSet>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QHorizontalBarSeries>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include "ui/Seams.h"

#include <QCursor>
#include <QImage>
#include <QLocale>
#include <QSet>
#include <QToolTip>
#include <cmath>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <numeric>

namespace {

const QColor kPlannedColour{0x54, 0x63, 0x8F};  // the windows' own blue
const QColor kSpentColour{0xE0, 0x8A, 0x2E};
const QColor kBalanceColour{0x2E, 0x7D, 0x32};
const QColor kForecastColour{0x9E, 0x9E, 0x9E};
const QColor kPlanMarkColour{0xC6, 0x28, 0x28};

QChart *newChart(const QString &title)
{
    auto *chart = new QChart();
    chart->setTitle(title);
    // Axis numbers with thousands separators: 50,000,000 rather than 50000000.
    QLocale grouped = QLocale::c();
    grouped.setNumberOptions(grouped.numberOptions() & ~QLocale::OmitGroupSeparator);
    chart->setLocale(grouped);
    chart->setLocalizeNumbers(true);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->legend()->hide();
    return chart;
}

// A value axis over [low, high] with 0 always in sight and round tick values.
QValueAxis *amountAxis(double low, double high)
{
    auto *axis = new QValueAxis();
    axis->setObjectName(QString::fromLatin1(charts::kAmounts));
    low = std::min(low, 0.0);
    high = std::max(high, 0.0);
    // A span of at least one unit a tick, so that no two ticks read the same whole number.
    if (high - low < 4)
        high = low + 4;
    axis->setRange(low, high);
    axis->setTickCount(5);
    axis->applyNiceNumbers();
    axis->setLabelFormat(QStringLiteral("%.0f"));
    return axis;
}

// Category names must differ: a repeated one gets its place in brackets.
QString uniqueName(QString name, QSet<QString> &taken)
{
    if (taken.contains(name))
        for (int n = 2;; ++n)
            if (!taken.contains(name + QStringLiteral(" (%1)").arg(n))) {
                name += QStringLiteral(" (%1)").arg(n);
                break;
            }
    taken.insert(name);
    return name;
}

// A name short enough for an axis label: at most 27 whole characters and "…", cut between
// characters as a reader sees them, never inside an emoji or before a combining accent.
QString shortened(const QString &name)
{
    QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, name);
    int count = 0, cut = 0;
    for (int at = clusters.toNextBoundary(); at >= 0; at = clusters.toNextBoundary()) {
        if (++count == 27)
            cut = at;
        if (count > 28)
            return name.left(cut) + QChar(0x2026);
    }
    return name;
}

// A name short enough for a bar's label, cut in the middle so that its start and end both show:
// at most 24 characters as a reader sees them.
QString shortenedInMiddle(const QString &name)
{
    QList<int> bounds;
    QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, name);
    for (int at = clusters.toNextBoundary(); at >= 0; at = clusters.toNextBoundary())
        bounds << at;
    if (bounds.size() <= 24)
        return name;
    const int head = bounds[12 - 1], tail = bounds[bounds.size() - 1 - 11];
    return name.left(head).trimmed() + QChar(0x2026) + name.mid(tail).trimmed();
}

QString grouped(double value)
{
    QLocale l = QLocale::c();
    l.setNumberOptions(l.numberOptions() & ~QLocale::OmitGroupSeparator);
    return l.toString(value, 'f', value == std::floor(value) ? 0 : 2);
}

}  // namespace

QChart *MakePlannedSpentChart(const std::vector<ProjectFigures> &projects)
{
    QChart *chart = newChart(QStringLiteral("Planned and spent"));
    // The largest planned costs first; equal ones in project order.
    std::vector<size_t> order(projects.size());
    std::iota(order.begin(), order.end(), size_t(0));
    const size_t shown = std::min(order.size(), size_t(charts::kShownProjects));
    std::partial_sort(order.begin(), order.begin() + std::ptrdiff_t(shown), order.end(), [&](size_t a, size_t b) {
        return projects[a].planned != projects[b].planned ? projects[a].planned > projects[b].planned
                                                          : projects[a].id < projects[b].id;
    });

    auto *planned = new QBarSet(QStringLiteral("Planned"));
    auto *spent = new QBarSet(QStringLiteral("Spent"));
    planned->setColor(kPlannedColour);
    spent->setColor(kSpentColour);
    QStringList categories;
    double low = 0, high = 0;
    const auto add = [&](const QString &name, double p, double s) {
        categories << name;
        planned->append(p);
        spent->append(s);
        low = std::min({low, p, s});
        high = std::max({high, p, s});
    };
    // The rest would dwarf the bars of the largest: their totals are said in the title instead.
    if (order.size() > shown) {
        double p = 0, s = 0;
        for (size_t i = shown; i < order.size(); ++i) {
            p += projects[order[i]].planned;
            s += projects[order[i]].spent;
        }
        chart->setTitle(QStringLiteral("Planned and spent: the %1 largest of %2 projects<br>the other %3 planned %4 "
                                       "and spent %5")
                            .arg(shown).arg(grouped(double(order.size()))).arg(grouped(double(order.size() - shown)))
                            .arg(grouped(p), grouped(s)));
    }
    // Horizontal bars are drawn from the bottom up: the largest project last.
    QStringList whole;
    for (size_t i = shown; i-- > 0;) {
        const ProjectFigures &f = projects[order[i]];
        add(shortenedInMiddle(f.name) + QStringLiteral(" (%1)").arg(f.id), f.planned, f.spent);
        whole << f.name + QStringLiteral(" (%1)").arg(f.id);
    }

    auto *series = new QHorizontalBarSeries();
    series->setObjectName(QString::fromLatin1(charts::kPlannedSpent));
    series->append(planned);
    series->append(spent);
    chart->addSeries(series);
    auto *names = new QBarCategoryAxis();
    names->setObjectName(QString::fromLatin1(charts::kProjects));
    names->append(categories);
    // Twenty names in the height of a window's part: small type, so that each label has a line.
    QFont small = names->labelsFont();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.8));
    names->setLabelsFont(small);
    chart->addAxis(names, Qt::AlignLeft);
    QValueAxis *values = amountAxis(low, high);
    chart->addAxis(values, Qt::AlignBottom);
    series->attachAxis(names);
    series->attachAxis(values);
    chart->legend()->show();
    chart->legend()->setAlignment(Qt::AlignBottom);
    // A bar's tool tip names its project in full.
    QObject::connect(series, &QHorizontalBarSeries::hovered, series, [whole](bool over, int index, QBarSet *) {
        if (over && index >= 0 && index < whole.size())
            QToolTip::showText(QCursor::pos(), whole[index]);
        else
            QToolTip::hideText();
    });
    return chart;
}

QChart *MakeBalanceChart(const std::vector<BalancePoint> &points)
{
    QChart *chart = newChart(QStringLiteral("Running balance"));
    auto *line = new QLineSeries();
    line->setObjectName(QString::fromLatin1(charts::kBalance));
    line->setColor(kBalanceColour);
    line->setPointsVisible(points.size() < 60);  // a lone point or a few stay visible
    QList<QPointF> xy;
    xy.reserve(qsizetype(points.size()));
    double low = 0, high = 0;
    for (const BalancePoint &p : points) {
        xy.append(QPointF(double(p.date.startOfDay().toMSecsSinceEpoch()), p.balance));
        low = std::min(low, p.balance);
        high = std::max(high, p.balance);
    }
    line->replace(xy);
    chart->addSeries(line);

    auto *dates = new QDateTimeAxis();
    dates->setObjectName(QString::fromLatin1(charts::kDates));
    dates->setFormat(QStringLiteral("dd/MM/yyyy"));
    QDate first = points.empty() ? ui::Today() : points.front().date;
    QDate last = points.empty() ? first : points.back().date;
    if (first == last) {  // one day only: a day either side
        first = first.addDays(-1);
        last = last.addDays(1);
    }
    // At most one tick a day, so that no date is written twice, and room for each whole date.
    dates->setTickCount(int(std::min<qint64>(4, first.daysTo(last) + 1)));
    dates->setRange(first.startOfDay(), last.startOfDay());
    chart->addAxis(dates, Qt::AlignBottom);
    QValueAxis *values = amountAxis(low, high);
    chart->addAxis(values, Qt::AlignLeft);
    line->attachAxis(dates);
    line->attachAxis(values);
    return chart;
}

QChart *MakeSpendingChart(const std::vector<HeadSpending> &heads)
{
    QChart *chart = newChart(QStringLiteral("Spent by head"));
    auto *spent = new QBarSet(QStringLiteral("Spent"));
    spent->setColor(kSpentColour);
    QStringList categories;
    QSet<QString> taken;
    double high = 0;
    for (const HeadSpending &h : heads) {
        categories << uniqueName(shortened(h.head), taken);
        spent->append(h.spent);
        high = std::max(high, h.spent);
    }
    auto *series = new QBarSeries();
    series->setObjectName(QString::fromLatin1(charts::kSpending));
    series->append(spent);
    chart->addSeries(series);
    auto *names = new QBarCategoryAxis();
    names->setObjectName(QString::fromLatin1(charts::kHeads));
    names->append(categories);
    chart->addAxis(names, Qt::AlignBottom);
    QValueAxis *values = amountAxis(0, high);
    chart->addAxis(values, Qt::AlignLeft);
    series->attachAxis(names);
    series->attachAxis(values);
    return chart;
}

QChart *MakeBudgetChart(const ProjectBudget &budget)
{
    auto *planned = new QBarSet(QStringLiteral("Planned"));
    auto *spent = new QBarSet(QStringLiteral("Spent"));
    auto *forecast = new QBarSet(QStringLiteral("Forecast"));
    planned->setColor(kPlannedColour);
    spent->setColor(kSpentColour);
    forecast->setColor(kForecastColour);
    auto *plan = new QScatterSeries();
    plan->setObjectName(QString::fromLatin1(charts::kBudgetPlan));
    plan->setName(QStringLiteral("Plan"));
    QStringList categories;
    QSet<QString> taken;
    double low = 0, high = 0;
    for (const HeadBudget &h : budget.heads) {
        if (!h.planned)
            continue;
        // On plan a head ends at its plan, or at what it spent once it went over.
        const double p = *h.planned, ahead = std::max(p, h.spent);
        plan->append(double(categories.size()), p);
        categories << uniqueName(shortened(h.head), taken);
        planned->append(p);
        spent->append(h.spent);
        forecast->append(ahead);
        low = std::min(low, h.spent);
        high = std::max({high, p, ahead});
    }
    QChart *chart = newChart(categories.isEmpty() ? QStringLiteral("No plan by heads") : QStringLiteral("Plan by heads"));
    auto *series = new QBarSeries();
    series->setObjectName(QString::fromLatin1(charts::kBudget));
    series->append(planned);
    series->append(spent);
    series->append(forecast);
    chart->addSeries(series);
    // The plan as a dash across the head's bars, drawn over them: the marker is square, so the
    // dash is a thin band through the middle of a clear square.
    QImage dash(32, 32, QImage::Format_ARGB32);
    dash.fill(Qt::transparent);
    for (int y = 14; y < 18; ++y)
        for (int x = 0; x < 32; ++x)
            dash.setPixelColor(x, y, kPlanMarkColour);
    plan->setLightMarker(dash);
    plan->setMarkerSize(32);
    plan->setColor(kPlanMarkColour);
    plan->setBorderColor(kPlanMarkColour);
    chart->addSeries(plan);
    auto *names = new QBarCategoryAxis();
    names->setObjectName(QString::fromLatin1(charts::kBudgetHeads));
    names->append(categories);
    chart->addAxis(names, Qt::AlignBottom);
    // Some room above the highest bar, so that a plan marked at its top stays in sight.
    QValueAxis *values = amountAxis(low, high * 1.05);
    chart->addAxis(values, Qt::AlignLeft);
    for (QAbstractSeries *s : {static_cast<QAbstractSeries *>(series), static_cast<QAbstractSeries *>(plan)}) {
        s->attachAxis(names);
        s->attachAxis(values);
    }
    if (!categories.isEmpty()) {
        chart->legend()->show();
        chart->legend()->setAlignment(Qt::AlignBottom);
    }
    return chart;
}
