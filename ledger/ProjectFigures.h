#pragma once
// The figures of the projects overview and the printed ledger, read from the database with
// aggregate statements through the data layer (never by walking a grid). Every statement is
// limited to the logged-in user's rows and runs on both engines.
#include <QDate>
#include <QString>
#include <map>
#include <optional>
#include <vector>

struct ProjectForecast;

// One project of the overview's table.
struct ProjectFigures {
    qint32 id = 0;
    QString name;
    QString status;  // the status name
    QDate start;
    double planned = 0;
    double received = 0;  // the sum of its entries' AmountIn (0 without entries)
    double spent = 0;     // the sum of its entries' AmountOut
    QString owner;        // empty for the user's own; whose it is for a project shared with the user
    // From the project's plan by heads; all empty when it has none.
    std::optional<double> planByHeads;     // the current plan's total
    std::optional<double> forecastOnPlan;  // where it ends on plan
    std::optional<double> forecastAtRate;  // where it ends at its rate; also empty when that cannot be told
    double balance() const { return received - spent; }
};

// The user's projects of a status (its StatusID; 1, "All", or 0 for every status), in TaskID order.
// Throws SqlError when the statements cannot run.
std::vector<ProjectFigures> LoadProjectFigures(const QString &user, qint32 statusId);
// The same for the projects shared with the user, each with its owner and the sums of the owner's
// entries; none (and no statement but one count) when no project is shared with the user.
std::vector<ProjectFigures> LoadSharedProjectFigures(const QString &user, qint32 statusId);

// Puts the forecasts (by TaskID, as LoadForecasts gives them) on the projects they belong to.
void AttachForecasts(std::vector<ProjectFigures> &projects, const std::map<qint32, ProjectForecast> &forecasts);

// The balance of one project after each date that has entries: per-date sums, cumulated in order.
struct BalancePoint {
    QDate date;
    double balance = 0;
};
std::vector<BalancePoint> LoadRunningBalance(const QString &user, qint32 taskId);

// What one project spent under each head, largest first (heads it spent nothing under are left out).
struct HeadSpending {
    QString head;
    double spent = 0;
};
std::vector<HeadSpending> LoadSpendingByHead(const QString &user, qint32 taskId);
