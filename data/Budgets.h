#pragma once
// A project planned by its heads. The owner of a project gives each of their heads a planned
// amount (or none); every save of a changed plan keeps a revision: the first is the baseline
// (revision 0), later ones are numbered 1, 2, ... with the date and the user who saved them. The
// current plan is the latest revision. Members of a shared project read its plan; only the owner
// saves one. Works on the process-wide connection as the logged-in user, on both engines.
// A saved revision is never changed, and is deleted only with its project; the revisions, each with
// its date and user, are the plan's history, which the history of changes does not repeat.
//
// Tables (both engines):
//   tblBudgetRevisions (TaskID, Revision, SavedAt, SavedBy, UserId)  one row per saved plan;
//                       UserId: the project's owner (whose rows the row policies keep)
//   tblHeadBudgets (TaskID, Revision, HeadId, Planned, UserId)       one row per planned head of
//                       a revision; a head without a row is not planned in it
//
// What a head has "spent" is the sum of the AmountOut of the project's entries under it (money in
// under an expense head is stored as a negative amount spent, so it lowers this figure).
#include "data/Variant.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

// One head of the project's owner, with its plan and what the project spent under it.
struct HeadBudget {
    std::int32_t headId = 0;
    QString head;                      // its name
    bool expense = true;               // PlusMinus <> 0
    std::optional<double> planned;     // current plan; empty: not planned
    std::optional<double> baseline;    // the baseline's amount; empty: not planned then
    double spent = 0;                  // sum of AmountOut under the head in this project
    // What is left of the plan (planned - spent); empty when not planned.
    std::optional<double> left() const { return planned ? std::optional<double>(*planned - spent) : std::nullopt; }
};

struct BudgetRevision {
    int revision = 0;       // 0: the baseline
    QDateTime savedAt;      // UTC
    QString savedBy;        // the Quillmark user who saved it
};

// A project's plan: every head of its owner by name, the revisions oldest first.
struct ProjectBudget {
    std::int32_t taskId = 0;
    std::vector<HeadBudget> heads;
    std::vector<BudgetRevision> revisions;  // empty: never planned
    bool HasPlan() const;                   // at least one head planned in the current revision
    double PlannedSum() const;              // the sum of the current plan's amounts
    double BaselineSum() const;
};

// Reads a project's plan (the logged-in user's own project, or one shared with them). Throws
// SqlError.
ProjectBudget BudgetOf(std::int32_t taskId);

// Saves the plan (head id -> amount; heads left out are not planned) as a new revision when it
// differs from the current one; answers the revision saved, or -1 when nothing changed. Only the
// owner may: anyone else gets SqlError("Only the project's owner can change its plan."). A
// negative or non-finite amount throws SqlError too. One transaction.
int SaveBudget(std::int32_t taskId, const std::map<std::int32_t, double> &planned);

// One head's plan and spending in one project, for the ledger's line and the over-plan box:
// planned is empty when the head is not planned in the project's current plan.
struct HeadStanding {
    QString head;
    std::optional<double> planned;
    double spent = 0;
};
HeadStanding StandingOf(std::int32_t taskId, std::int32_t headId);

// The over-plan message when a save took the head from at most its plan to over it (before is
// what it had spent before the save, after after it), else empty. For 3,120 spent against 3,000
// planned: "Materials is now 120.00 over its plan of 3,000.00 (104 %)."
QString OverPlanMessage(const HeadStanding &after, double spentBefore);

// Where a project will end, from its plan and what it spent.
struct ProjectForecast {
    std::int32_t taskId = 0;
    bool planned = false;                  // it has a plan (any head planned)
    double plannedSum = 0;                 // the current plan's total
    double spent = 0;                      // spent to date: the sum of all its AmountOut
    // On plan: spent plus what is left of each planned head's plan (a head over its plan counts
    // as spent, heads without a plan count what they spent).
    double onPlan = 0;
    // At the current rate: spent divided by the elapsed share of the time between the start and
    // the end date; empty without an end date or a start date, before the start, or when the end
    // is not after the start. Once the end date has passed it is what was spent.
    std::optional<double> atRate;
};
// The forecast of one project from its figures; today is the date the rate is taken at.
ProjectForecast ForecastOf(const ProjectBudget &budget, const QDate &start, const QDate &end, const QDate &today);

// The forecasts of all the user's projects that have a plan (their own and those shared with
// them), by TaskID, read with aggregate statements (not project by project), for the overview.
// Projects without a plan are not in the map. Throws SqlError.
std::map<std::int32_t, ProjectForecast> LoadForecasts(const QDate &today);

// An amount as the plan's texts show it: grouped by thousands, two decimals ("3,000.00").
QString BudgetAmount(double value);

// Whether a head's PlusMinus makes it an expense, as the ledger books it (anything but 0).
bool IsExpenseHead(const Variant &plusMinus);
// Puts heads in the order a plan lists them: by name in any letter case.
void SortHeadsByName(std::vector<HeadBudget> &heads);

// Pure maths, shared by the two above: the share of [start, end] elapsed at today (clamped to
// 0..1), or empty when it cannot be told.
std::optional<double> ElapsedShare(const QDate &start, const QDate &end, const QDate &today);
