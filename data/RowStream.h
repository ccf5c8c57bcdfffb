#pragma once
// The rows of one query read as their reader needs them: the statement runs once, on whichever
// engine is in use, and its rows are stepped a number at a time and kept, so that a grid shows its
// first screen without waiting for the rest, and every reader of a ledger reads it the same way.
#include "data/Engine.h"

#include <QString>
#include <memory>
#include <vector>

class RowStream {
public:
    // Runs the query on the shared connection. Throws SqlError when it cannot run.
    explicit RowStream(const QString &statement);
    // Steps up to n more rows (a reader that writes in between may get all the rest at once);
    // answers how many came. After the last row, or a failure (thrown), no more come.
    int FetchMore(int n);
    // Steps every row left.
    void FetchAll();
    // The rows stepped so far, and whether they are all.
    int Fetched() const { return m_fetched; }
    bool Done() const { return !m_cursor; }

    // A field of a stepped row, as Recordset::FieldAt gives it.
    Variant FieldAt(int row, int position) const;
    // The position of a column by name, in any letter case; -1 when there is none (or when no
    // fetch has run yet).
    int FieldIndex(const QString &name) const;

private:
    std::unique_ptr<IRowCursor> m_cursor;
    std::vector<std::shared_ptr<Recordset>> m_chunks;  // only chunks holding rows, after the first
    std::vector<int> m_starts;                         // the first row of each chunk
    std::shared_ptr<Recordset> m_columns;              // the first answer, for the column names
    int m_fetched = 0;
    mutable size_t m_last = 0;                         // the chunk read last
};

// The ledger of one project: the current user's entries of it, in date order, through one stream,
// with the statement the ledger window has always run; and its totals with theirs. Every reader
// of a ledger (the window, the printed report, both exports) reads it here.
QString LedgerStatement(const QString &user, qint32 taskId);
QString LedgerSumsStatement(const QString &user, qint32 taskId);
std::shared_ptr<RowStream> OpenLedger(const QString &user, qint32 taskId);
// A total as the ledger reads it: 0 when Null or empty; throws SqlError when it is no number.
double LedgerTotal(const Variant &sum);

// Runs one statement and answers all its rows, leaving the windows' current result as it was.
// Throws SqlError when it cannot run or gives no rows.
std::shared_ptr<Recordset> RowsOf(const QString &statement);
