#include "ledger/Steps.h"

#include "ui/Grid.h"

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

qint16 ToInteger(const QString &text)
{
    const qint32 v = ToLong(text);
    if (v < -32768 || v > 32767)
        throw SqlError(QStringLiteral("Overflow"));
    return qint16(v);
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
              const std::function<QString(int column, const Variant &field)> &text)
{
    ui::Grid::Fill fill(grid);
    grid.SetRows(1);
    if (!rs)
        return false;
    // The columns are found by name once; the rows are read by position.
    std::vector<int> at;
    for (const GridColumn &c : columns)
        at.push_back(rs->FieldIndex(QString::fromLatin1(c.field)));
    // A cursor that cannot tell where it stands counts as at its end.
    const auto atEnd = [&] {
        bool end = true;
        TryStep([&] { end = rs->Eof(); });
        return end;
    };
    bool loaded = false;
    while (!atEnd()) {
        const int row = grid.Rows();
        grid.SetRows(row + 1);
        grid.SetRow(row);
        for (int c = 0; c < int(columns.size()); ++c) {
            TryStep([&] {
                const Variant v = rs->Fields(at[size_t(c)]);
                if (!v.isNull())
                    grid.SetTextMatrix(row, c, text(c, v));
            });
        }
        loaded = true;
        if (!TryStep([&] { rs->MoveNext(); }))
            break;
    }
    return loaded;
}
