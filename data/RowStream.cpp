#include "data/RowStream.h"

#include "data/CTemplate.h"
#include "data/MyFun.h"

#include <algorithm>

RowStream::RowStream(const QString &statement) : m_cursor(SharedConnection.OpenRows(statement)) {}

int RowStream::FetchMore(int n)
{
    if (!m_cursor)
        return 0;
    std::shared_ptr<Recordset> rows;
    try {
        rows = m_cursor->Next(n);
    } catch (...) {
        m_cursor.reset();
        throw;
    }
    if (!m_columns && rows)
        m_columns = rows;
    const int count = rows ? rows->RecordCount() : 0;
    if (count > 0) {
        m_chunks.push_back(rows);
        m_starts.push_back(m_fetched);
        m_fetched += count;
    }
    if (count < n)
        m_cursor.reset();
    return count;
}

void RowStream::FetchAll()
{
    while (m_cursor)
        FetchMore(8192);
}

Variant RowStream::FieldAt(int row, int position) const
{
    if (row < 0 || row >= m_fetched)
        throw SqlError(QStringLiteral("Either BOF or EOF is True, or the current record has been deleted."));
    // Readers go forward: the chunk read last, or the one after it, holds the row most times.
    size_t at = m_last < m_chunks.size() ? m_last : 0;
    if (row < m_starts[at] || row >= m_starts[at] + m_chunks[at]->RecordCount()) {
        if (at + 1 < m_chunks.size() && row >= m_starts[at + 1] && row < m_starts[at + 1] + m_chunks[at + 1]->RecordCount())
            ++at;
        else
            at = size_t(std::upper_bound(m_starts.begin(), m_starts.end(), row) - m_starts.begin()) - 1;
        m_last = at;
    }
    return m_chunks[at]->FieldAt(row - m_starts[at], position);
}

int RowStream::FieldIndex(const QString &name) const { return m_columns ? m_columns->FieldIndex(name) : -1; }

QString LedgerStatement(const QString &user, qint32 taskId)
{
    return QStringLiteral("Select * from tblTransaction Where UserId=") + QuoteSql(user) + QStringLiteral(" and TaskID =") +
           QString::number(taskId) + QStringLiteral(" Order by TransactionDate,Id");
}

QString LedgerSumsStatement(const QString &user, qint32 taskId)
{
    return QStringLiteral("Select sum(amountIn),Sum(amountOut) from tblTransaction Where userid=") + QuoteSql(user) +
           QStringLiteral(" and TaskID =") + QString::number(taskId);
}

std::shared_ptr<RowStream> OpenLedger(const QString &user, qint32 taskId)
{
    return std::make_shared<RowStream>(LedgerStatement(user, taskId));
}

double LedgerTotal(const Variant &sum)
{
    if (sum.isNull() || sum.isEmpty())
        return 0.0;
    bool ok = false;
    const double d = sum.toDouble(&ok);
    if (!ok)
        throw SqlError(QStringLiteral("Type mismatch"));
    return d;
}

std::shared_ptr<Recordset> RowsOf(const QString &statement)
{
    const std::shared_ptr<Recordset> kept = SharedRecordset;
    try {
        CTemplate().ExecuteSql(statement);
    } catch (...) {
        SharedRecordset = kept;
        throw;
    }
    std::shared_ptr<Recordset> rows = SharedRecordset;
    SharedRecordset = kept;
    if (!rows || rows->IsClosed())
        throw SqlError(QStringLiteral("The statement gave no rows."));
    return rows;
}
