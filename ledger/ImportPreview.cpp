#include "ledger/ImportPreview.h"

#include "data/Variant.h"
#include "ui/Look.h"

#include <QFont>

using import::LineStatus;
using import::PreviewRow;

ImportPreviewModel::ImportPreviewModel(QObject *parent) : QAbstractTableModel(parent) {}

void ImportPreviewModel::SetRows(std::vector<PreviewRow> rows, QHash<qint32, QString> headNames)
{
    beginResetModel();
    m_rows = std::move(rows);
    m_byHand.assign(m_rows.size(), false);
    m_headNames = std::move(headNames);
    endResetModel();
    Q_EMIT TicksChanged();
}

void ImportPreviewModel::Refresh()
{
    if (!m_rows.empty())
        Q_EMIT dataChanged(index(0, 0), index(int(m_rows.size()) - 1, ColumnCount - 1));
    Q_EMIT TicksChanged();
}

void ImportPreviewModel::SetHead(const QList<int> &rows, qint32 headId)
{
    for (int r : rows) {
        if (r < 0 || r >= int(m_rows.size()))
            continue;
        m_rows[size_t(r)].headId = headId;
        m_rows[size_t(r)].headSuggested = false;
        m_byHand[size_t(r)] = true;
    }
    Refresh();
}

ImportPreviewModel::Totals ImportPreviewModel::Tally() const
{
    Totals t;
    for (const PreviewRow &row : m_rows) {
        if (!row.ticked)
            continue;
        ++t.ticked;
        if (row.headId == 0)
            ++t.tickedWithoutHead;
        if (row.line.amount >= 0)
            t.in += row.line.amount;
        else
            t.out -= row.line.amount;
    }
    return t;
}

QString ImportPreviewModel::StatusText(const PreviewRow &row)
{
    switch (row.status) {
    case LineStatus::New: return QStringLiteral("new");
    case LineStatus::AlreadyImported: return QStringLiteral("already imported");
    case LineStatus::PossibleDuplicate:
        return QStringLiteral("possible duplicate of entry %1").arg(row.duplicateOf);
    case LineStatus::Error: return QStringLiteral("error: ") + row.line.error;
    }
    return {};
}

int ImportPreviewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ImportPreviewModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant ImportPreviewModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    const PreviewRow &row = m_rows[size_t(index.row())];
    const int col = index.column();
    if (role == Qt::CheckStateRole && col == Tick)
        return row.ticked ? Qt::Checked : Qt::Unchecked;
    if (role == Qt::TextAlignmentRole && (col == MoneyIn || col == MoneyOut || col == Line))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::FontRole && col == Head && row.headSuggested) {
        QFont f;
        f.setItalic(true);
        return f;
    }
    if (role == Qt::ToolTipRole) {
        if (col == Head && row.headSuggested)
            return QStringLiteral("Suggested from your earlier entries with the same payee; set a head to confirm it");
        if (col == Head && row.headId == 0)
            return QStringLiteral("No head yet: choose one below, or add a rule");
        if (col == Remarks || col == Status)
            return data(index, Qt::DisplayRole);
        return {};
    }
    if (role == Qt::ForegroundRole && col == Status && row.status == LineStatus::Error)
        return ui::kDebitBackground;
    if (role != Qt::DisplayRole)
        return {};
    switch (col) {
    case Line: return row.line.line;
    case Date: return row.line.date.isValid() ? row.line.date.toString(QStringLiteral("dd/MM/yyyy")) : QString();
    case Head: {
        if (row.headId == 0)
            return QString();
        const QString name = m_headNames.value(row.headId, QString::number(row.headId));
        return row.headSuggested ? name + QStringLiteral(" (suggested)") : name;
    }
    case Remarks: return row.line.remarks;
    case MoneyIn: return row.line.amount > 0 ? FormatFixed2(row.line.amount) : QString();
    case MoneyOut: return row.line.amount < 0 ? FormatFixed2(-row.line.amount) : QString();
    case Status: return StatusText(row);
    default: return {};
    }
}

bool ImportPreviewModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.column() != Tick || role != Qt::CheckStateRole)
        return false;
    PreviewRow &row = m_rows[size_t(index.row())];
    if (row.status == LineStatus::Error)
        return false;
    row.ticked = value.toInt() == Qt::Checked;
    Q_EMIT dataChanged(index, index);
    Q_EMIT TicksChanged();
    return true;
}

Qt::ItemFlags ImportPreviewModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == Tick && m_rows[size_t(index.row())].status != LineStatus::Error)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant ImportPreviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const titles[] = {"Import", "Line", "Date", "Head", "Remarks", "Money In", "Money Out", "Status"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section]) : QString();
}
