// Placeholder until the plans are read from the database: no project has a plan.
#include "data/Budgets.h"

#include "data/Failure.h"

bool ProjectBudget::HasPlan() const { return false; }
double ProjectBudget::PlannedSum() const { return 0; }
double ProjectBudget::BaselineSum() const { return 0; }

ProjectBudget BudgetOf(std::int32_t taskId)
{
    ProjectBudget b;
    b.taskId = taskId;
    return b;
}

int SaveBudget(std::int32_t, const std::map<std::int32_t, double> &) { throw SqlError(QStringLiteral("Plans cannot be saved yet.")); }

HeadStanding StandingOf(std::int32_t, std::int32_t) { return {}; }

QString OverPlanMessage(const HeadStanding &, double) { return {}; }

ProjectForecast ForecastOf(const ProjectBudget &budget, const QDate &, const QDate &, const QDate &)
{
    ProjectForecast f;
    f.taskId = budget.taskId;
    return f;
}

std::map<std::int32_t, ProjectForecast> LoadForecasts(const QDate &) { return {}; }

std::optional<double> ElapsedShare(const QDate &, const QDate &, const QDate &) { return std::nullopt; }
