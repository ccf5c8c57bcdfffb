#include "ledger/ProjectFigures.h"

#include "data/Budgets.h"
#include "data/CTemplate.h"
#include "data/MyFun.h"
#include "data/RowStream.h"
#include "data/Sharing.h"

namespace {

// A sum as the engines give it: null (no rows, or only null amounts) counts as 0.
double amount(const Variant &v) { return v.isNull() ? 0.0 : v.toDouble(); }

// A project's figures from a row of id, name, status, start, planned, received, spent.
ProjectFigures figuresAt(const Recordset &rs, int r)
{
    ProjectFigures p;
    p.id = qint32(rs.FieldAt(r, 0).toInt64());
    p.name = rs.FieldAt(r, 1).toString();
    p.status = rs.FieldAt(r, 2).toString();
    p.start = rs.FieldAt(r, 3).toDate();
    p.planned = amount(rs.FieldAt(r, 4));
    p.received = amount(rs.FieldAt(r, 5));
    p.spent = amount(rs.FieldAt(r, 6));
    return p;
}

}  // namespace

std::vector<ProjectFigures> LoadProjectFigures(const QString &user, qint32 statusId)
{
    // The entries are summed per project once, in a derived table, so that the projects are read in
    // one pass whatever their number; a project without entries meets no row there and shows zeros.
    const QString who = QuoteSql(user);
    QString sql = QStringLiteral("Select k.TaskID, k.TaskName, s.StatusName, k.StartDate, k.CostPlanned, e.Received, "
                                 "e.Spent From tblTasks k Left Join tblStatus s On s.StatusID = k.StatusID "
                                 "Left Join (Select TaskID, sum(AmountIn) As Received, sum(AmountOut) As Spent "
                                 "From tblTransaction Where UserId=") +
                  who + QStringLiteral(" Group by TaskID) e On e.TaskID = k.TaskID Where k.UserId=") + who;
    if (statusId > 1)
        sql += QStringLiteral(" And k.StatusID=") + QString::number(statusId);
    sql += QStringLiteral(" Order by k.TaskID");

    const std::shared_ptr<Recordset> rs = RowsOf(sql);
    std::vector<ProjectFigures> out;
    out.reserve(size_t(rs->RecordCount()));
    for (int r = 0; r < rs->RecordCount(); ++r) {
        out.push_back(figuresAt(*rs, r));
    }
    return out;
}

std::vector<ProjectFigures> LoadSharedProjectFigures(const QString &user, qint32 statusId)
{
    std::vector<ProjectFigures> out;
    const QString shared = SharedWithCondition(user);
    if (RowsOf(QStringLiteral("Select Count(*) From tblTasks Where ") + shared)->Fields(0).toInt64() == 0)
        return out;
    // A shared project's entries are its owner's: they are summed under the project's own UserId.
    QString sql = QStringLiteral("Select k.TaskID, k.TaskName, s.StatusName, k.StartDate, k.CostPlanned, "
                                 "sum(t.AmountIn), sum(t.AmountOut), k.UserId From tblTasks k "
                                 "Left Join tblStatus s On s.StatusID = k.StatusID "
                                 "Left Join tblTransaction t On t.TaskID = k.TaskID And t.UserId = k.UserId "
                                 "Where k.TaskID In (Select TaskID From tblTasks Where ") +
                  shared + QLatin1Char(')');
    if (statusId > 1)
        sql += QStringLiteral(" And k.StatusID=") + QString::number(statusId);
    sql += QStringLiteral(" Group by k.TaskID, k.TaskName, s.StatusName, k.StartDate, k.CostPlanned, k.UserId "
                          "Order by k.TaskID");
    const std::shared_ptr<Recordset> rs = RowsOf(sql);
    for (int r = 0; r < rs->RecordCount(); ++r) {
        ProjectFigures p = figuresAt(*rs, r);
        p.owner = rs->FieldAt(r, 7).toString();
        out.push_back(std::move(p));
    }
    return out;
}

void AttachForecasts(std::vector<ProjectFigures> &projects, const std::map<qint32, ProjectForecast> &forecasts)
{
    for (ProjectFigures &p : projects) {
        const auto f = forecasts.find(p.id);
        if (f == forecasts.end() || !f->second.planned)
            continue;
        p.planByHeads = f->second.plannedSum;
        p.forecastOnPlan = f->second.onPlan;
        p.forecastAtRate = f->second.atRate;
    }
}

std::vector<BalancePoint> LoadRunningBalance(const QString &user, qint32 taskId)
{
    const QString sql = QStringLiteral("Select TransactionDate, coalesce(sum(AmountIn), 0) - coalesce(sum(AmountOut), 0) "
                                       "As Net From tblTransaction Where UserId=") +
                        QuoteSql(user) + QStringLiteral(" And TaskID=") + QString::number(taskId) +
                        QStringLiteral(" Group by TransactionDate Order by TransactionDate");
    const std::shared_ptr<Recordset> rs = RowsOf(sql);
    // Entries without a date (the engines sort them first or last) count from the start, so that
    // the last point is the project's balance on both engines.
    double undated = 0, running = 0;
    std::vector<BalancePoint> out;
    out.reserve(size_t(rs->RecordCount()));
    for (int r = 0; r < rs->RecordCount(); ++r) {
        const QDate date = rs->FieldAt(r, 0).toDate();
        const double net = amount(rs->FieldAt(r, 1));
        if (!date.isValid()) {
            undated += net;
            continue;
        }
        running += net;
        out.push_back({date, running});
    }
    for (BalancePoint &p : out)
        p.balance += undated;
    return out;
}

std::vector<HeadSpending> LoadSpendingByHead(const QString &user, qint32 taskId)
{
    // The heads' names come with the sums in one joined statement: no id read from the file is put
    // into a second one. Equal sums keep the heads' own order on both engines.
    const QString sql = QStringLiteral("Select h.Heads, sum(t.AmountOut) As Spent From tblTransaction t "
                                       "Inner Join defHeads h On h.Id = t.HeadId Where t.UserId=") +
                        QuoteSql(user) + QStringLiteral(" And t.TaskID=") + QString::number(taskId) +
                        QStringLiteral(" Group by h.Id, h.Heads Having sum(t.AmountOut) > 0 Order by Spent Desc, h.Id");
    const std::shared_ptr<Recordset> rs = RowsOf(sql);
    std::vector<HeadSpending> out;
    out.reserve(size_t(rs->RecordCount()));
    for (int r = 0; r < rs->RecordCount(); ++r)
        out.push_back({rs->FieldAt(r, 0).toString(), amount(rs->FieldAt(r, 1))});
    return out;
}
