#pragma once
// The overview's charts, built from figures read from the database. The printed ledger draws the
// same two charts of its project.
//
// What each chart holds can be read back from its objects: the series and axes carry the object
// names below, the bar sets are labelled "Planned", "Spent" and "Forecast", and the categories are
// the axis's.
#include "data/Budgets.h"
#include "ledger/ProjectFigures.h"

#include <QtCharts/QChart>

namespace charts {
inline constexpr const char *kPlannedSpent = "plannedSpent";  // QHorizontalBarSeries
inline constexpr const char *kProjects = "projects";          // its QBarCategoryAxis
inline constexpr const char *kBalance = "balance";            // QLineSeries: x is msecs since epoch
inline constexpr const char *kDates = "dates";                // its QDateTimeAxis
inline constexpr const char *kSpending = "spendingByHead";    // QBarSeries
inline constexpr const char *kHeads = "heads";                // its QBarCategoryAxis
inline constexpr const char *kBudget = "budgetByHead";      // QBarSeries: planned, spent, forecast
inline constexpr const char *kBudgetHeads = "budgetHeads";  // its QBarCategoryAxis
inline constexpr const char *kBudgetPlan = "budgetPlan";    // QScatterSeries: (head's place, its plan)
inline constexpr const char *kAmounts = "amounts";            // the value axis of any of them
// How many projects the planned-against-spent chart shows by name.
inline constexpr int kShownProjects = 20;
}  // namespace charts

// Planned against spent, as horizontal bars: the 20 projects with the largest planned cost (the
// largest at the top); how many others there are and what they planned and spent together is
// said in the title. A category reads "name (id)", the name shortened in the middle, so that two
// projects of one name stay two bars; a bar's tool tip holds the whole name.
QChart *MakePlannedSpentChart(const std::vector<ProjectFigures> &projects);
// A project's running balance by date, as a line.
QChart *MakeBalanceChart(const std::vector<BalancePoint> &points);
// What a project spent by head, as bars, largest first (from the left).
QChart *MakeSpendingChart(const std::vector<HeadSpending> &heads);
// A project's plan by heads, as bars per planned head: planned, spent and the forecast on plan (the
// larger of the two), with the head's plan marked across its bars. A project without a plan gets
// an empty chart titled "No plan by heads".
QChart *MakeBudgetChart(const ProjectBudget &budget);
