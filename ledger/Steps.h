#pragma once
// Small helpers of the ledger window's handlers, which run with failures ignored step by step:
// a step that fails is skipped and the next one runs, with no message.
#include "data/Engine.h"

#include <QString>
#include <exception>
#include <functional>
#include <memory>

namespace ui {
class Grid;
}

// Runs one step; answers whether it finished.
template <typename Step>
bool TryStep(Step &&step)
{
    try {
        step();
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

// A text read as a whole number of 32 bits (rounded), as an id or a task number is read from a
// caption or a cell. Throws when the text is not one.
qint32 ToLong(const QString &text);
// The same within 16 bits, as the entry editor carries head and task numbers.
qint16 ToInteger(const QString &text);
// A text read as a number, with a point as decimal separator or in the system locale's own form.
// Throws when the text is not one.
double ToNumber(const QString &text);
// An amount as the entry editor stores it: a finite number of at most 10^15 in size (beyond the
// 15 digits the program shows, and so that no sum can overflow). Anything else reads as false.
bool ReadAmount(const QString &text, double *amount);

// A grid column as the window lays it out: its header and its width in twips.
struct GridColumn {
    const char *header;
    int twips;
};
// Writes the header row and the column widths, column by column.
void WriteHeader(ui::Grid &grid, const GridColumn *columns, int count);

// Reloads a grid from the rows of a query as one fill: the data rows go, then one row per record,
// each left as the current row in turn. fields names the record's column for each grid column;
// text turns a field into its cell. A Null field, or a cell whose text fails, leaves the cell
// empty; a query that did not run (rs null) leaves the header row only. Answers whether a row
// was loaded.
bool FillRows(ui::Grid &grid, const std::shared_ptr<Recordset> &rs, const std::vector<const char *> &fields,
              const std::function<QString(int column, const Variant &field)> &text);
