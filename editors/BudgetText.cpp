#include "editors/BudgetText.h"

#include "data/Variant.h"

#include <QTimeZone>
#include <cmath>

QString RevisionText(const std::vector<BudgetRevision> &revisions)
{
    if (revisions.empty())
        return QStringLiteral("Not planned yet");
    const BudgetRevision &current = revisions.back();
    // Saved in UTC; the user reads the day it was on their own clock.
    const QString day = FormatDate(current.savedAt.toLocalTime().date());
    return (current.revision == 0 ? QStringLiteral("Baseline") : QStringLiteral("Revision %1").arg(current.revision)) +
           QStringLiteral(" of %1 by %2").arg(day, current.savedBy);
}

QString PlanSumNote(bool anyPlanned, double sum, bool costKnown, double cost)
{
    if (!anyPlanned || !costKnown)
        return QString();
    const double diff = std::round((sum - cost) * 100.0) / 100.0;
    if (diff == 0.0)
        return QString();
    return QStringLiteral("The heads' plans add up to %1, %2 %3 than the planned cost.")
        .arg(BudgetAmount(sum), BudgetAmount(std::fabs(diff)), diff > 0 ? QStringLiteral("more") : QStringLiteral("less"));
}

QString HeadBudgetLine(const HeadStanding &standing)
{
    if (!standing.planned)
        return QStringLiteral("Not planned");
    return QStringLiteral("Planned %1 \u00b7 spent %2 \u00b7 left %3")
        .arg(BudgetAmount(*standing.planned), BudgetAmount(standing.spent), BudgetAmount(*standing.planned - standing.spent));
}

bool ReadPlanned(const QString &text, std::optional<double> *planned)
{
    if (text.trimmed().isEmpty()) {
        planned->reset();
        return true;
    }
    double value = 0;
    if (!ReadNumber(text, &value) || !std::isfinite(value) || value < 0 || value > 1e15)
        return false;
    *planned = value == 0.0 ? 0.0 : value;  // a typed -0 is 0
    return true;
}
