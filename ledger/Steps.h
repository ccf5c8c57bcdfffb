#pragma once
// Small helpers of the ledger window's handlers, which run with failures ignored step by step
// (TryStep): a step that fails is skipped and the next one runs, with no message.
#include "data/Engine.h"
#include "data/Failure.h"
#include "data/RowStream.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace ui {
class Grid;
}

// A text read as a whole number of 32 bits (rounded), as an id or a task number is read from a
// caption or a cell. Throws when the text is not one.
qint32 ToLong(const QString &text);
// A text read as a finite number (see ReadNumber). Throws when the text is not one.
double ToNumber(const QString &text);
// An amount as the entry editor stores it: a finite number of at most 10^15 in size (beyond the
// 15 digits the program shows, and so that no sum can overflow). Anything else reads as false.
bool ReadAmount(const QString &text, double *amount);


// A grid column as the window lays it out: its header, its width in twips and the column of
// the query's rows that fills it.
struct GridColumn {
    const char *header;
    int twips;
    const char *field;
};
// Writes the header row and the column widths, column by column.
void WriteHeader(ui::Grid &grid, const std::vector<GridColumn> &columns);

// Reloads a grid from the rows of a query as one fill: the data rows go, then one row per row of
// the query, the last one left as the current row. The first screen of rows is stepped now, the
// rest as the grid needs them (see ui::Grid). text turns a field into its cell. A Null field, or a
// cell whose text fails, leaves the cell empty; a query that did not run (rows null) leaves the
// header row only. Answers whether a row was loaded.
// The texts of lookUpColumn (a name looked up by its code, which may run a statement) are made
// as the rows are stepped, row after row; every other cell's text is made only when it is shown
// or read, so text must run no statement for them.
bool FillRows(ui::Grid &grid, const std::shared_ptr<RowStream> &rows, const std::vector<GridColumn> &columns,
              const std::function<QString(int column, const Variant &field)> &text, int lookUpColumn);
