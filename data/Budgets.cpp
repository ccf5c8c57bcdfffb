#include "data/Budgets.h"

#include "data/MyFun.h"
#include "data/Sharing.h"

#include <QLocale>
#include <QTimeZone>

#include <algorithm>
#include <cmath>

namespace {

QString me() { return QuoteSql(CurrentUserId); }

double amount(const Variant &v) { return v.isNull() ? 0.0 : v.toDouble(); }
std::optional<double> optionalAmount(const Variant &v) { return v.isNull() ? std::nullopt : std::optional<double>(v.toDouble()); }

// The projects the logged-in user may read (the server's row policies say the same).
QString visibleProject(const QString &task)
{
    return QStringLiteral("(%1.UserId=%2 Or %1.TaskID In (Select TaskID From tblMembers Where UserId=%2))").arg(task, me());
}

// The current revision of a project: its latest.
QString currentRevision(const QString &taskId)
{
    return QStringLiteral("(Select max(r.Revision) From tblBudgetRevisions r Where r.TaskID=%1)").arg(taskId);
}

// Amounts compared as the windows show them, in whole cents: the sum of 0.1 and 0.2 is not over a
// plan of 0.30.
long long cents(double value) { return std::llround(value * 100.0); }

}  // namespace

QString BudgetAmount(double value)
{
    QLocale grouped = QLocale::c();
    grouped.setNumberOptions(grouped.numberOptions() & ~QLocale::OmitGroupSeparator);
    // -0.001 is shown as 0.00, not as -0.00.
    const double cents = std::round(value * 100.0) / 100.0;
    return grouped.toString(cents == 0.0 ? 0.0 : cents, 'f', 2);
}

bool IsExpenseHead(const Variant &plusMinus) { return plusMinus.isNull() || plusMinus.toDouble() != 0.0; }

void SortHeadsByName(std::vector<HeadBudget> &heads)
{
    std::sort(heads.begin(), heads.end(), [](const HeadBudget &x, const HeadBudget &y) {
        const int c = x.head.compare(y.head, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : x.headId < y.headId;
    });
}

bool ProjectBudget::HasPlan() const
{
    return std::any_of(heads.begin(), heads.end(), [](const HeadBudget &h) { return h.planned.has_value(); });
}

double ProjectBudget::PlannedSum() const
{
    double sum = 0;
    for (const HeadBudget &h : heads)
        sum += h.planned.value_or(0);
    return sum;
}

double ProjectBudget::BaselineSum() const
{
    double sum = 0;
    for (const HeadBudget &h : heads)
        sum += h.baseline.value_or(0);
    return sum;
}

ProjectBudget BudgetOf(std::int32_t taskId)
{
    ProjectBudget b;
    b.taskId = taskId;
    const ProjectAccess access = AccessTo(taskId);
    if (access.role == ProjectRole::None)
        return b;
    const QString task = QString::number(taskId), owner = QuoteSql(access.owner);
    // Every head of the owner with its amount in the current plan and in the baseline, and what the
    // project's entries (the owner's) spent under it.
    const auto rs = SharedConnection.Execute(
        QStringLiteral("Select h.Id, h.Heads, h.PlusMinus, c.Planned, b.Planned, s.Spent From defHeads h "
                       "Left Join tblHeadBudgets c On c.TaskID=%1 And c.HeadId=h.Id And c.Revision=%3 "
                       "Left Join tblHeadBudgets b On b.TaskID=%1 And b.HeadId=h.Id And b.Revision=0 "
                       "Left Join (Select HeadId, sum(AmountOut) As Spent From tblTransaction Where TaskID=%1 And "
                       "UserId=%2 Group By HeadId) s On s.HeadId=h.Id Where h.UserId=%2")
            .arg(task, owner, currentRevision(task)));
    for (; !rs->Eof(); rs->MoveNext()) {
        HeadBudget h;
        h.headId = std::int32_t(rs->Fields(0).toInt64());
        h.head = rs->Fields(1).toString();
        h.expense = IsExpenseHead(rs->Fields(2));
        h.planned = optionalAmount(rs->Fields(3));
        h.baseline = optionalAmount(rs->Fields(4));
        h.spent = amount(rs->Fields(5));
        b.heads.push_back(std::move(h));
    }
    // By name whatever the engine's collation, in any letter case.
    SortHeadsByName(b.heads);
    for (auto r = SharedConnection.Execute(QStringLiteral("Select Revision, SavedAt, SavedBy From tblBudgetRevisions "
                                                          "Where TaskID=%1 And UserId=%2 Order By Revision").arg(task, owner));
         !r->Eof(); r->MoveNext()) {
        BudgetRevision rev;
        rev.revision = int(r->Fields(0).toInt64());
        rev.savedAt = QDateTime::fromString(r->Fields(1).toString(), Qt::ISODate);
        rev.savedAt.setTimeZone(QTimeZone::utc());
        rev.savedBy = r->Fields(2).toString();
        b.revisions.push_back(std::move(rev));
    }
    return b;
}

int SaveBudget(std::int32_t taskId, const std::map<std::int32_t, double> &planned)
{
    for (const auto &[head, value] : planned)
        if (!std::isfinite(value) || value < 0)
            throw SqlError(QStringLiteral("A planned amount is a number of 0 or more."));
    const ProjectAccess access = AccessTo(taskId);
    if (access.role != ProjectRole::Owner)
        throw SqlError(QStringLiteral("Only the project's owner can change its plan."));
    const QString task = QString::number(taskId), owner = QuoteSql(access.owner);

    WriteTransaction tx(SharedConnection);
    if (!planned.empty()) {
        QStringList ids;
        for (const auto &entry : planned)
            ids << QString::number(entry.first);
        const auto known = SharedConnection.Execute(QStringLiteral("Select count(*) From defHeads Where UserId=%1 And Id In (%2)")
                                                        .arg(owner, ids.join(QLatin1Char(','))));
        if (known->Fields(0).toInt64() != std::int64_t(planned.size()))
            throw SqlError(QStringLiteral("A plan is made of the heads of the project's owner only."));
    }
    // The current plan, compared amount by amount in the form the statements write them.
    const Variant latest =
        SharedConnection.Execute(QStringLiteral("Select max(Revision) From tblBudgetRevisions Where TaskID=%1").arg(task))->Fields(0);
    std::map<std::int32_t, QString> current, wanted;
    if (!latest.isNull())
        // A planned head since deleted is no longer part of the plan, as the plan's reading shows it.
        for (auto rs = SharedConnection.Execute(QStringLiteral("Select b.HeadId, b.Planned From tblHeadBudgets b Inner Join "
                                                               "defHeads h On h.Id=b.HeadId And h.UserId=%3 Where "
                                                               "b.TaskID=%1 And b.Revision=%2")
                                                    .arg(task).arg(latest.toInt64()).arg(owner));
             !rs->Eof(); rs->MoveNext())
            current[std::int32_t(rs->Fields(0).toInt64())] = FormatNumber(rs->Fields(1).toDouble());
    for (const auto &[head, value] : planned)
        wanted[head] = FormatNumber(value);
    if (current == wanted)
        return -1;

    const int revision = latest.isNull() ? 0 : int(latest.toInt64()) + 1;
    const QString savedAt = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"));
    SharedConnection.Execute(QStringLiteral("INSERT INTO tblBudgetRevisions (TaskID,Revision,SavedAt,SavedBy,UserId) "
                                            "VALUES (%1,%2,'%3',%4,%5)")
                                 .arg(task).arg(revision).arg(savedAt, QuoteSql(CurrentUserId), owner));
    if (!wanted.empty()) {
        QStringList rows;
        for (const auto &[head, value] : wanted)
            rows << QStringLiteral("(%1,%2,%3,%4,%5)").arg(task).arg(revision).arg(head).arg(value, owner);
        SharedConnection.Execute(QStringLiteral("INSERT INTO tblHeadBudgets (TaskID,Revision,HeadId,Planned,UserId) VALUES ") +
                                 rows.join(QLatin1Char(',')));
    }
    tx.Commit();
    return revision;
}

HeadStanding StandingOf(std::int32_t taskId, std::int32_t headId)
{
    // One statement, each part found by an index: the head's row, its amount in the project's
    // latest revision, and the sum of its entries in the project.
    const QString task = QString::number(taskId);
    const auto rs = SharedConnection.Execute(
        QStringLiteral("Select h.Heads, (Select b.Planned From tblHeadBudgets b Where b.TaskID=k.TaskID And "
                       "b.Revision=%3 And b.HeadId=h.Id), (Select sum(t.AmountOut) From tblTransaction t Where "
                       "t.TaskID=k.TaskID And t.HeadId=h.Id And t.UserId=k.UserId) From tblTasks k Inner Join "
                       "defHeads h On h.Id=%2 Where k.TaskID=%1 And %4")
            .arg(task).arg(headId).arg(currentRevision(QStringLiteral("k.TaskID")), visibleProject(QStringLiteral("k"))));
    HeadStanding s;
    if (rs->Eof())
        return s;
    s.head = rs->Fields(0).toString();
    s.planned = optionalAmount(rs->Fields(1));
    s.spent = amount(rs->Fields(2));
    return s;
}

QString OverPlanMessage(const HeadStanding &after, double spentBefore)
{
    if (!after.planned)
        return {};
    const double plan = *after.planned;
    if (!(cents(spentBefore) <= cents(plan) && cents(plan) < cents(after.spent)))
        return {};
    QString text = QStringLiteral("%1 is now %2 over its plan of %3").arg(after.head, BudgetAmount(after.spent - plan), BudgetAmount(plan));
    // A plan of nothing has no share to tell.
    if (cents(plan) > 0)
        text += QStringLiteral(" (%1 %)").arg(std::llround(after.spent / plan * 100.0));
    return text + QLatin1Char('.');
}

std::optional<double> ElapsedShare(const QDate &start, const QDate &end, const QDate &today)
{
    if (!start.isValid() || !end.isValid() || !today.isValid() || end <= start)
        return std::nullopt;
    return std::clamp(double(start.daysTo(today)) / double(start.daysTo(end)), 0.0, 1.0);
}

namespace {

// The rate's forecast from what was spent: empty while no time has elapsed.
std::optional<double> atRate(double spent, const QDate &start, const QDate &end, const QDate &today)
{
    const std::optional<double> share = ElapsedShare(start, end, today);
    if (!share || *share <= 0)
        return std::nullopt;
    return spent / *share;
}

}  // namespace

ProjectForecast ForecastOf(const ProjectBudget &budget, const QDate &start, const QDate &end, const QDate &today)
{
    ProjectForecast f;
    f.taskId = budget.taskId;
    f.planned = budget.HasPlan();
    f.plannedSum = budget.PlannedSum();
    double left = 0;
    for (const HeadBudget &h : budget.heads) {
        f.spent += h.spent;
        if (h.planned)
            left += std::max(*h.planned - h.spent, 0.0);
    }
    f.onPlan = f.spent + left;
    f.atRate = atRate(f.spent, start, end, today);
    return f;
}

std::map<std::int32_t, ProjectForecast> LoadForecasts(const QDate &today)
{
    // One statement whatever the number of projects: what each project's entries (its owner's)
    // spent under each head, summed once; the latest revision of every plan, its heads (those still
    // there, as the plan's own reading lists them) with their spending, summed per project; and all
    // that each planned project spent. A plan's rows go with their project, so they are matched by
    // the project alone, which spares the server comparing names in any letter case row by row.
    const QString sql = QStringLiteral(
        "With s As (Select t.TaskID, t.HeadId, sum(t.AmountOut) As Spent From tblTransaction t Inner Join tblTasks o "
        "On o.TaskID = t.TaskID And o.UserId = t.UserId Group By t.TaskID, t.HeadId) "
        "Select k.TaskID, k.StartDate, k.EndDate, p.Planned, p.Lft, e.Spent From tblTasks k Inner Join "
        "(Select b.TaskID, sum(b.Planned) As Planned, sum(Case When b.Planned > coalesce(s.Spent, 0) "
        "Then b.Planned - coalesce(s.Spent, 0) Else 0 End) As Lft From tblHeadBudgets b "
        "Inner Join (Select TaskID, max(Revision) As Revision From tblBudgetRevisions Group By TaskID) r "
        "On r.TaskID = b.TaskID And r.Revision = b.Revision Inner Join defHeads h On h.Id = b.HeadId "
        "Left Join s On s.TaskID = b.TaskID And s.HeadId = b.HeadId Group By b.TaskID) p On p.TaskID = k.TaskID "
        "Left Join (Select TaskID, sum(Spent) As Spent From s Group By TaskID) e On e.TaskID = k.TaskID Where %1").arg(visibleProject(QStringLiteral("k")));
    std::map<std::int32_t, ProjectForecast> out;
    const auto rs = SharedConnection.Execute(sql);
    const int n = rs->RecordCount();
    for (int i = 0; i < n; ++i) {
        ProjectForecast f;
        f.taskId = std::int32_t(rs->FieldAt(i, 0).toInt64());
        f.planned = true;
        f.plannedSum = amount(rs->FieldAt(i, 3));
        f.spent = amount(rs->FieldAt(i, 5));
        f.onPlan = f.spent + amount(rs->FieldAt(i, 4));
        f.atRate = atRate(f.spent, rs->FieldAt(i, 1).toDate(), rs->FieldAt(i, 2).toDate(), today);
        out.emplace(f.taskId, f);
    }
    return out;
}
