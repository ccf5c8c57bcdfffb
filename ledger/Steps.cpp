#include "ledger/Steps.h"

#include "ui/Grid.h"

#include <QHash>
#include <cmath>

double ToNumber(const QString &text)
{
    double v = 0;
    if (!ReadNumber(text, &v) || !std::isfinite(v))
        throw SqlError(QStringLiteral("Type mismatch"));
    return v;
}

qint32 ToLong(const QString &text)
{
    const double v = std::nearbyint(ToNumber(text));
    if (v < -2147483648.0 || v > 2147483647.0)
        throw SqlError(QStringLiteral("Overflow"));
    return qint32(v);
}

bool ReadAmount(const QString &text, double *amount)
{
    double v = 0;
    if (!ReadNumber(text, &v) || !std::isfinite(v) || std::fabs(v) > 1e15)
        return false;
    *amount = v == 0.0 ? 0.0 : v;  // no "-0"
    return true;
}

void WriteHeader(ui::Grid &grid, const std::vector<GridColumn> &columns)
{
    grid.SetRow(0);
    for (int c = 0; c < int(columns.size()); ++c) {
        grid.SetCol(c);
        grid.SetText(QString::fromLatin1(columns[size_t(c)].header));
        grid.SetColWidth(c, columns[size_t(c)].twips);
    }
}

bool FillRows(ui::Grid &grid, const std::shared_ptr<RowStream> &rows, const std::vector<GridColumn> &columns,
              const std::function<QString(int column, const Variant &field)> &text, int lookUpColumn)
{
    // A failure while stepping ends the rows where it happened; a database that cannot be reached
    // ends the action before the grid has changed.
    if (rows)
        TryStep([&] { rows->FetchMore(ui::Grid::kFirstRows); });
    ui::Grid::Fill fill(grid);
    grid.SetRows(1);
    if (!rows)
        return false;
    if (rows->Fetched() == 0)
        return false;
    ui::Grid::RowSource source;
    source.rows = rows;
    // The columns are found by name once; the rows are read by position.
    for (const GridColumn &c : columns)
        source.fieldOf.push_back(rows->FieldIndex(QString::fromLatin1(c.field)));
    source.text = text;
    if (lookUpColumn >= 0 && lookUpColumn < int(columns.size())) {
        source.madeColumn = lookUpColumn;
        // Tens of thousands of rows name a handful of codes: a whole-number code looked up once
        // gives the same name on every later row of this load.
        auto named = std::make_shared<QHash<qint64, QString>>();
        source.make = [named, text, lookUpColumn](const Variant &v) {
            const bool whole = v.type() == Variant::Type::Integer;
            const auto known = whole ? named->constFind(v.toInt64()) : named->constEnd();
            if (known != named->constEnd())
                return *known;
            QString made;
            if (TryStep([&] { made = text(lookUpColumn, v); }) && whole)
                named->insert(v.toInt64(), made);
            return made;
        };
    }
    grid.ShowRows(std::move(source));
    return true;
}
