#pragma once
// The rows of a statement as the import dialog previews them: a tick, the line, date, head,
// remarks, money in, money out and what the program found out about the line.
#include "data/Imports.h"

#include <QAbstractTableModel>
#include <QHash>
#include <vector>

class ImportPreviewModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Tick, Line, Date, Head, Remarks, MoneyIn, MoneyOut, Status, ColumnCount };

    explicit ImportPreviewModel(QObject *parent = nullptr);

    // Replaces every row; headNames gives each of the user's heads its name.
    void SetRows(std::vector<import::PreviewRow> rows, QHash<qint32, QString> headNames);
    std::vector<import::PreviewRow> &Rows() { return m_rows; }
    const std::vector<import::PreviewRow> &Rows() const { return m_rows; }
    // Says that rows changed in place (heads, ticks, statuses).
    void Refresh();
    // Gives the rows the head, chosen by hand.
    void SetHead(const QList<int> &rows, qint32 headId);
    // Whether the row's head was chosen by hand (a rule or a suggestion never replaces it).
    bool HeadByHand(int row) const { return row >= 0 && row < int(m_byHand.size()) && m_byHand[size_t(row)]; }

    // What the ticked rows come to.
    struct Totals {
        int ticked = 0;
        int tickedWithoutHead = 0;
        double in = 0;
        double out = 0;
    };
    Totals Tally() const;

    // The status of a row as the preview says it.
    static QString StatusText(const import::PreviewRow &row);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

Q_SIGNALS:
    // A tick or a head changed: the totals and the Import button follow.
    void TicksChanged();

private:
    std::vector<import::PreviewRow> m_rows;
    std::vector<bool> m_byHand;
    QHash<qint32, QString> m_headNames;
};
