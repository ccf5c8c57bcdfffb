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

bool FillRows(ui::Grid &grid, const std::shared_ptr<Recordset> &rs, const std::vector<GridColumn> &columns,
              const std::function<QString(int column, const Variant &field)> &text, int lookUpColumn)
{
    ui::Grid::Fill fill(grid);
    grid.SetRows(1);
    if (!rs || rs->IsClosed() || rs->Position() >= rs->RecordCount())
        return false;
    ui::Grid::RowSource source;
    source.rows = rs;
    source.first = rs->Position();
    source.count = rs->RecordCount() - source.first;
    // The columns are found by name once; the rows are read by position.
    for (const GridColumn &c : columns)
        source.fieldOf.push_back(rs->FieldIndex(QString::fromLatin1(c.field)));
    source.text = text;
    if (lookUpColumn >= 0 && lookUpColumn < int(columns.size())) {
        source.madeColumn = lookUpColumn;
        source.made.resize(size_t(source.count));
        // Tens of thousands of rows name a handful of codes: a whole-number code looked up once
        // gives the same name on every later row of this load.
        QHash<qint64, QString> named;
        for (int i = 0; i < source.count; ++i) {
            TryStep([&] {
                const Variant v = rs->FieldAt(source.first + i, source.fieldOf[size_t(lookUpColumn)]);
                if (v.isNull())
                    return;
                const bool whole = v.type() == Variant::Type::Integer;
                const auto known = whole ? named.constFind(v.toInt64()) : named.constEnd();
                if (known != named.constEnd()) {
                    source.made[size_t(i)] = *known;
                    return;
                }
                source.made[size_t(i)] = text(lookUpColumn, v);
                if (whole)
                    named.insert(v.toInt64(), source.made[size_t(i)]);
            });
        }
    }
    grid.ShowRows(std::move(source));
    return true;
}
