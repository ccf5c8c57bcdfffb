#include "ui/Grid.h"

#include "data/Engine.h"
#include "data/RowStream.h"

#include <QDate>
#include <QHash>
#include <QSignalBlocker>
#include <QSet>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QHelpEvent>
#include <QScreen>
#include <QToolTip>
#include <algorithm>
#include <numeric>

namespace ui {

// The texts of the grid: the header row apart (it is the view's horizontal header); the data rows
// either from a query's result, made into texts only when shown or read, or set one by one. A text
// set on a cell takes the place of the result's.
class GridModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : m_arranged ? int(m_order.size()) : m_dataRows;
    }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : m_cols; }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::TextAlignmentRole)
            return size_t(index.column()) < m_align.size() ? QVariant(int(m_align[size_t(index.column())]))
                                                           : QVariant(int(Qt::AlignLeft | Qt::AlignVCenter));
        // The tool tip is the whole text: the view shows it where the cell cuts the text short.
        if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole && role != Qt::ToolTipRole)
            return {};
        return cell(dataRow(index.row()) + 1, index.column());
    }

    // The data row (from 0) a row of the view shows, and the view's row of a data row (-1 where
    // it is not shown).
    int dataRow(int viewRow) const
    {
        if (!m_arranged)
            return viewRow;
        return viewRow >= 0 && size_t(viewRow) < m_order.size() ? m_order[size_t(viewRow)] : -1;
    }
    int viewRow(int dataRow) const
    {
        if (!m_arranged)
            return dataRow;
        return dataRow >= 0 && size_t(dataRow) < m_viewOf.size() ? m_viewOf[size_t(dataRow)] : -1;
    }
    bool arranged() const { return m_arranged; }

    // The view shows the given data rows in the given order; or, without arranged, every row in
    // its own order.
    void arrange(std::vector<int> order, bool arranged, bool notify)
    {
        if (notify)
            beginResetModel();
        m_arranged = arranged;
        m_order = arranged ? std::move(order) : std::vector<int>();
        m_viewOf.assign(arranged ? size_t(m_dataRows) : 0, -1);
        for (size_t v = 0; v < m_order.size(); ++v)
            m_viewOf[size_t(m_order[v])] = int(v);
        if (notify)
            endResetModel();
    }

    void setAlignment(int col, Qt::Alignment alignment)
    {
        if (col < 0)
            return;
        if (m_align.size() <= size_t(col))
            m_align.resize(size_t(col) + 1, Qt::AlignLeft | Qt::AlignVCenter);
        m_align[size_t(col)] = alignment | Qt::AlignVCenter;
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || section < 0 || section >= m_cols)
            return {};
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
            return m_header[size_t(section)];
        return {};
    }

    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    QString cell(int row, int col) const
    {
        if (col < 0 || col >= m_cols || row < 0 || row > m_dataRows)
            return {};
        if (row == 0)
            return m_header[size_t(col)];
        const auto set = m_set.constFind(key(row, col));
        if (set != m_set.constEnd())
            return *set;
        return row <= m_sourceRows ? fromSource(row - 1, col) : QString();
    }

    void setCell(int row, int col, const QString &text, bool notify)
    {
        if (col < 0 || col >= m_cols || row < 0 || row > m_dataRows)
            return;
        if (row == 0) {
            m_header[size_t(col)] = text;
            if (notify)
                Q_EMIT headerDataChanged(Qt::Horizontal, col, col);
            return;
        }
        m_set.insert(key(row, col), text);
        if (notify && viewRow(row - 1) >= 0) {
            const QModelIndex i = index(viewRow(row - 1), col);
            Q_EMIT dataChanged(i, i, {Qt::DisplayRole});
        }
    }

    void setDataRows(int rows, bool notify)
    {
        rows = std::max(rows, 0);
        if (rows == m_dataRows)
            return;
        if (notify) {
            if (rows > m_dataRows)
                beginInsertRows({}, m_dataRows, rows - 1);
            else
                beginRemoveRows({}, rows, m_dataRows - 1);
        }
        const bool growing = rows > m_dataRows;
        if (!growing) {
            forgetSetTexts([rows](int row, int) { return row > rows; });
            if (rows < m_sourceRows)
                m_sourceRows = rows;
            if (m_sourceRows == 0)
                forgetSource();
        }
        m_dataRows = rows;
        if (notify)
            growing ? endInsertRows() : endRemoveRows();
    }

    void setCols(int cols, bool notify)
    {
        cols = std::max(cols, 0);
        if (cols == m_cols)
            return;
        if (notify)
            beginResetModel();
        forgetSetTexts([cols](int, int col) { return col >= cols; });
        m_header.resize(size_t(cols));
        m_cols = cols;
        if (notify)
            endResetModel();
    }

    void clearTexts(bool notify)
    {
        if (notify)
            beginResetModel();
        for (QString &s : m_header)
            s.clear();
        m_set.clear();
        forgetSource();
        if (notify)
            endResetModel();
    }

    // Within a fill: the data rows become the source's rows stepped so far.
    void showRows(Grid::RowSource source)
    {
        m_set.clear();
        forgetSource();
        m_source = std::move(source);
        m_dataRows = 0;
        takeStepped(false);
        if (m_sourceRows == 0 && !streaming())
            forgetSource();
    }

    // Whether rows of the source are still to come; they come only while the grid shows the
    // source's rows and nothing after them.
    bool streaming() const { return m_source.rows && !m_source.rows->Done() && m_dataRows == m_sourceRows; }

    // Steps up to n more rows of the source and shows them. A failure ends the rows there.
    void fetch(int n, bool notify)
    {
        if (!streaming())
            return;
        try {
            m_source.rows->FetchMore(n);
        } catch (const ConnectionLost &e) {
            TellLost(e);  // the rows end here, and the user learns why
        } catch (const std::exception &) {
        }
        takeStepped(notify);
    }

    bool canFetchMore(const QModelIndex &parent) const override { return !parent.isValid() && streaming(); }
    void fetchMore(const QModelIndex &parent) override
    {
        if (!parent.isValid())
            fetch(kChunk, true);
    }

    static constexpr int kChunk = 2048;

    void beginFill() { beginResetModel(); }
    void endFill() { endResetModel(); }

    int dataRows() const { return m_dataRows; }
    int cols() const { return m_cols; }

private:
    static quint64 key(int row, int col) { return quint64(quint32(row)) << 32 | quint32(col); }

    template <typename Gone>
    void forgetSetTexts(Gone gone)
    {
        for (auto i = m_set.begin(); i != m_set.end();)
            i = gone(int(i.key() >> 32), int(i.key() & 0xffffffffu)) ? m_set.erase(i) : std::next(i);
    }

    void forgetSource()
    {
        m_source = {};
        m_made.clear();
        m_sourceRows = 0;
    }

    // The rows the source has stepped beyond those shown become rows of the grid, their made
    // column's texts made now.
    void takeStepped(bool notify)
    {
        const int stepped = m_source.rows ? m_source.rows->Fetched() : 0;
        if (stepped <= m_sourceRows)
            return;
        const int made = m_source.madeColumn;
        const bool making = made >= 0 && size_t(made) < m_source.fieldOf.size() && m_source.fieldOf[size_t(made)] >= 0 &&
                            m_source.make;
        m_made.reserve(size_t(stepped));
        for (int i = m_sourceRows; i < stepped; ++i) {
            QString text;
            if (making) {
                try {
                    const Variant v = m_source.rows->FieldAt(i, m_source.fieldOf[size_t(made)]);
                    if (!v.isNull())
                        text = m_source.make(v);
                } catch (const ConnectionLost &e) {
                    TellLost(e);  // once, however many rows were to be named
                } catch (const std::exception &) {
                }
            }
            m_made.push_back(std::move(text));
        }
        if (notify)
            beginInsertRows({}, m_dataRows, m_dataRows + stepped - m_sourceRows - 1);
        m_dataRows += stepped - m_sourceRows;
        m_sourceRows = stepped;
        if (notify)
            endInsertRows();
    }

    QString fromSource(int index, int col) const
    {
        if (col == m_source.madeColumn)
            return size_t(index) < m_made.size() ? m_made[size_t(index)] : QString();
        if (size_t(col) >= m_source.fieldOf.size() || m_source.fieldOf[size_t(col)] < 0 || !m_source.text)
            return {};
        try {
            const Variant v = m_source.rows->FieldAt(index, m_source.fieldOf[size_t(col)]);
            return v.isNull() ? QString() : m_source.text(col, v);
        } catch (const std::exception &) {
            return {};
        }
    }

    int m_dataRows = 0;
    int m_cols = 0;
    std::vector<QString> m_header;
    std::vector<Qt::Alignment> m_align;
    QHash<quint64, QString> m_set;
    Grid::RowSource m_source;
    std::vector<QString> m_made;  // the made column's texts of the source's rows shown
    int m_sourceRows = 0;         // the data rows that show the source's rows (the first ones)
    bool m_arranged = false;      // the view shows m_order rather than every data row in order
    std::vector<int> m_order;     // the data rows shown, in the view's order
    std::vector<int> m_viewOf;    // each data row's place in the view, -1 where it is not shown
};

Grid::Grid(const QString &name, QWidget *parent) : QTableView(parent), m_model(new GridModel(this))
{
    setObjectName(name);
    setModel(m_model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setAlternatingRowColors(true);
    verticalHeader()->hide();
    // Rows of one fixed height: the view then never measures tens of thousands of rows.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setMinimumSectionSize(8);
    m_streamer.setInterval(0);
    connect(&m_streamer, &QTimer::timeout, this, &Grid::streamMore);
}

Grid::~Grid() = default;

int Grid::Rows() const
{
    complete();
    return m_model->dataRows() + 1;
}

int Grid::RowsLoaded() const { return m_model->dataRows() + 1; }

bool Grid::Streaming() const { return m_model->streaming(); }

bool Grid::LoadMore()
{
    if (!m_model->streaming())
        return false;
    streamMore();
    return true;
}

int Grid::Row() const
{
    if (m_lastIsCurrent)
        complete();
    return m_row;
}

void Grid::complete() const
{
    if (!m_model->streaming())
        return;
    auto *self = const_cast<Grid *>(this);
    while (m_model->streaming())
        m_model->fetch(8192, m_filling == 0);
    self->m_streamer.stop();
    if (m_lastIsCurrent) {
        self->m_row = m_model->dataRows();
        if (m_filling == 0)
            self->showCurrent();
    }
}

void Grid::streamMore()
{
    m_streamer.setInterval(0);
    m_model->fetch(GridModel::kChunk, m_filling == 0);
    if (m_model->streaming())
        return;
    m_streamer.stop();
    if (m_lastIsCurrent) {
        m_row = m_model->dataRows();
        if (m_filling == 0)
            showCurrent();
    }
}

void Grid::SetRows(int rows)
{
    complete();
    forgetArrangement();
    m_model->setDataRows(std::max(rows, 1) - 1, m_filling == 0);
    if (m_row >= Rows())
        m_row = Rows() - 1;
    if (m_filling == 0)
        showCurrent();
}

int Grid::Cols() const { return m_model->cols(); }

void Grid::SetCols(int cols)
{
    const int old = Cols();
    if (cols != old)
        forgetArrangement();
    m_model->setCols(cols, m_filling == 0);
    for (int c = old; c < Cols(); ++c)
        horizontalHeader()->resizeSection(c, 64);
    if (m_col >= Cols())
        m_col = std::max(Cols() - 1, 0);
    if (m_filling == 0)
        showCurrent();
}

void Grid::SetRow(int row)
{
    // A row already stepped is chosen without stepping the rest.
    if (row < 0 || (row >= RowsLoaded() && row >= Rows()))
        return;
    m_lastIsCurrent = false;
    m_row = row;
    if (m_filling == 0)
        showCurrent();
}

void Grid::SetCol(int col)
{
    if (col < 0 || col >= Cols())
        return;
    m_col = col;
    if (m_filling == 0)
        showCurrent();
}

QString Grid::TextMatrix(int row, int col) const
{
    if (row > m_model->dataRows())
        complete();
    return m_model->cell(row, col);
}

void Grid::SetTextMatrix(int row, int col, const QString &text)
{
    complete();
    m_haystack.clear();
    m_model->setCell(row, col, text, m_filling == 0);
}

int Grid::ColWidth(int col) const
{
    if (col < 0 || col >= Cols())
        return 0;
    if (size_t(col) < m_twips.size() && m_twips[size_t(col)] >= 0)
        return m_twips[size_t(col)];
    const double dpi = screen() ? screen()->logicalDotsPerInchX() : 96.0;
    return int(horizontalHeader()->sectionSize(col) * 1440.0 / dpi + 0.5);
}

int Grid::pixels(int twips) const
{
    const double dpi = screen() ? screen()->logicalDotsPerInchX() : 96.0;
    return int(twips * dpi / 1440.0 + 0.5);
}

void Grid::SetColWidth(int col, int twips)
{
    if (col < 0 || col >= Cols())
        return;
    twips = std::max(twips, 0);
    if (m_twips.size() < size_t(Cols()))
        m_twips.resize(size_t(Cols()), -1);
    m_twips[size_t(col)] = twips;
    layoutColumns();
}

void Grid::SetColAlignment(int col, Qt::Alignment alignment)
{
    m_model->setAlignment(col, alignment);
    viewport()->update();
}

void Grid::Clear()
{
    forgetArrangement();
    m_streamer.stop();
    m_lastIsCurrent = false;
    m_model->clearTexts(m_filling == 0);
}

void Grid::ShowRows(RowSource source)
{
    forgetArrangement();
    Fill fill(*this);
    m_model->showRows(std::move(source));
    m_row = m_model->dataRows();
    m_lastIsCurrent = true;
    // The rest of the rows follow once the first screen has painted (or soon, when the grid is
    // not painted at all).
    if (m_model->streaming())
        m_streamer.start(kPaintFirstMs);
    else
        m_streamer.stop();
}

Grid::Fill::Fill(Grid &grid) : m_grid(grid)
{
    if (m_grid.m_filling++ == 0)
        m_grid.m_model->beginFill();
}

Grid::Fill::~Fill()
{
    if (--m_grid.m_filling == 0) {
        m_grid.m_model->endFill();
        m_grid.layoutColumns();
        m_grid.showCurrent();
    }
}

// Puts the view's current row where the program's current row is, raising nothing and leaving
// the view scrolled as it was: the program moving the current row is no reason to scroll.
void Grid::showCurrent()
{
    m_syncing = true;
    const bool scrolls = hasAutoScroll();
    setAutoScroll(false);
    const int shown = m_row >= 1 ? m_model->viewRow(m_row - 1) : -1;
    if (shown >= 0 && Cols() > 0) {
        const QModelIndex i = m_model->index(shown, 0);
        selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else {
        selectionModel()->clearSelection();
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    setAutoScroll(scrolls);
    m_syncing = false;
}

// Lays the columns out across the view: each as wide as its set width at the screen's dots per
// inch. What is left over goes first to columns whose header or texts want more room (their
// first and last rows are measured, as a load may hold tens of thousands), in proportion to the
// room they want, so that every column stays in sight; the last column takes the rest.
void Grid::layoutColumns()
{
    if (m_laying || Cols() == 0)
        return;
    m_laying = true;
    const QFontMetrics fm(font());
    const QFontMetrics headerFm(horizontalHeader()->font());
    const int rows = RowsLoaded();
    const size_t cols = size_t(Cols());
    std::vector<int> base(cols), more(cols);
    int used = 0, wanted = 0;
    for (int c = 0; c < Cols(); ++c) {
        const bool set = size_t(c) < m_twips.size() && m_twips[size_t(c)] >= 0;
        base[size_t(c)] = set ? pixels(m_twips[size_t(c)]) : 64;
        int widest = headerFm.horizontalAdvance(m_model->cell(0, c)) + 16;
        // A column repeats its texts (a status, a head, an amount of 0): each is measured once.
        QSet<QString> measured;
        auto measure = [&](int r) {
            const QString text = m_model->cell(r, c);
            if (!text.isEmpty() && !measured.contains(text)) {
                measured.insert(text);
                widest = std::max(widest, fm.horizontalAdvance(text) + 12);
            }
        };
        for (int r = 1; r < std::min(rows, 101); ++r)
            measure(r);
        for (int r = std::max(101, rows - 100); r < rows; ++r)
            measure(r);
        more[size_t(c)] = std::max(0, std::min(widest, 320) - base[size_t(c)]);  // a long remark takes no more
        used += base[size_t(c)];
        wanted += more[size_t(c)];
    }
    int spare = std::max(0, viewport()->width() - used - 2);
    // Short texts (numbers, dates, a status) get their whole width first, so that a long name
    // never cuts a project's number; the long ones share what is left.
    constexpr int kShort = 72;
    std::vector<int> extra(cols, 0);
    if (wanted > spare) {
        int shortWanted = 0;
        for (size_t c = 0; c < cols; ++c)
            shortWanted += more[c] <= kShort ? more[c] : 0;
        // Too narrow even for the short texts: the long columns give up some of their set width,
        // down to a width that still shows the start of their texts.
        constexpr int kLongLeast = 64;
        for (size_t c = 0; c < cols && shortWanted > spare; ++c) {
            if (more[c] <= kShort || base[c] <= kLongLeast)
                continue;
            const int give = std::min(base[c] - kLongLeast, shortWanted - spare);
            base[c] -= give;
            spare += give;
        }
        // The narrowest wants are met first, as far as the room goes.
        std::vector<size_t> order(cols);
        std::iota(order.begin(), order.end(), size_t(0));
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return more[a] < more[b]; });
        for (const size_t c : order) {
            if (more[c] > kShort)
                break;
            const int give = std::min(more[c], spare);
            extra[c] = give;
            spare -= give;
            wanted -= more[c];
            more[c] = 0;
        }
    }
    for (size_t c = 0; c < cols; ++c) {
        extra[c] += wanted <= spare ? more[c] : int(qint64(more[c]) * spare / std::max(wanted, 1));
        horizontalHeader()->resizeSection(int(c), std::max(base[c] + extra[c], 8));
    }
    m_laying = false;
}

void Grid::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    if (m_filling == 0)
        layoutColumns();
}

// A cell's tool tip shows only where the cell cuts its text short.
bool Grid::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::Paint && m_streamer.isActive() && m_streamer.interval() != 0) {
        const bool painted = QTableView::viewportEvent(event);
        m_streamer.start(0);
        return painted;
    }
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const QModelIndex i = indexAt(help->pos());
        const QString text = i.isValid() ? m_model->cell(m_model->dataRow(i.row()) + 1, i.column()) : QString();
        if (text.isEmpty() || fontMetrics().horizontalAdvance(text) + 8 <= columnWidth(i.column())) {
            QToolTip::hideText();
            event->ignore();
            return true;
        }
    }
    return QTableView::viewportEvent(event);
}

void Grid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (m_syncing || m_filling > 0 || !current.isValid())
        return;
    m_lastIsCurrent = false;
    m_row = m_model->dataRow(current.row()) + 1;
    m_col = current.column();
}

void Grid::mousePressEvent(QMouseEvent *event)
{
    m_pressed = true;
    QTableView::mousePressEvent(event);
}

void Grid::mouseReleaseEvent(QMouseEvent *event)
{
    QTableView::mouseReleaseEvent(event);
    if (m_pressed && event->button() == Qt::LeftButton) {
        m_pressed = false;
        userClick();
    }
}

void Grid::mouseDoubleClickEvent(QMouseEvent *event)
{
    QTableView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) {
        m_pressed = false;
        Q_EMIT DblClick();
    }
}

void Grid::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        userClick();
        return;
    case Qt::Key_End:
        complete();  // the end is that of every row
        QTableView::keyPressEvent(event);
        return;
    default:
        QTableView::keyPressEvent(event);
    }
}

void Grid::userClick() { Q_EMIT Click(); }

int Grid::RowsShown() const { return m_model->rowCount(); }

void Grid::Narrow(const QString &text, const std::vector<int> &columns)
{
    if (text == m_narrowText && columns == m_narrowCols)
        return;
    complete();
    if (columns != m_narrowCols)
        m_haystack.clear();
    m_narrowText = text;
    m_narrowCols = columns;
    arrange();
}

void Grid::SetSortable(bool sortable)
{
    QHeaderView *header = horizontalHeader();
    header->setSectionsClickable(sortable);
    header->setSortIndicatorShown(sortable);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    if (sortable)
        connect(header, &QHeaderView::sectionClicked, this, &Grid::sortByTitle, Qt::UniqueConnection);
    else
        disconnect(header, &QHeaderView::sectionClicked, this, nullptr);
}

// A first click on a title sorts up, a second on the same title down.
void Grid::sortByTitle(int col)
{
    SortBy(col, col == m_sortCol && m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder);
}

// A column's texts compare as numbers where both are numbers, as dates where both are dates in
// the program's day/month/year, and otherwise as texts in any letter case; blanks come first.
void Grid::SortBy(int col, Qt::SortOrder order)
{
    if (col >= Cols())
        return;
    complete();
    m_sortCol = col < 0 ? -1 : col;
    m_sortOrder = order;
    m_sorted.clear();
    if (m_sortCol >= 0) {
        struct Key {
            int kind;  // 0 blank, 1 number or date, 2 text
            double value;
            QString text;
        };
        const int rows = m_model->dataRows();
        std::vector<Key> keys(static_cast<size_t>(rows));
        for (int r = 0; r < rows; ++r) {
            Key &k = keys[size_t(r)];
            k.text = m_model->cell(r + 1, m_sortCol).trimmed();
            bool number = false;
            k.value = k.text.toDouble(&number);
            if (k.text.isEmpty()) {
                k.kind = 0;
            } else if (number) {
                k.kind = 1;
            } else {
                const QDate date = QDate::fromString(k.text.left(10), QStringLiteral("dd/MM/yyyy"));
                k.kind = date.isValid() ? 1 : 2;
                k.value = date.isValid() ? double(date.toJulianDay()) : 0.0;
            }
        }
        m_sorted.resize(size_t(rows));
        for (int r = 0; r < rows; ++r)
            m_sorted[size_t(r)] = r;
        const bool down = order == Qt::DescendingOrder;
        std::stable_sort(m_sorted.begin(), m_sorted.end(), [&](int a, int b) {
            const Key &x = keys[size_t(down ? b : a)], &y = keys[size_t(down ? a : b)];
            if (x.kind != y.kind)
                return x.kind < y.kind;
            if (x.kind == 1)
                return x.value < y.value;
            return x.kind == 2 && x.text.compare(y.text, Qt::CaseInsensitive) < 0;
        });
    }
    {
        const QSignalBlocker quiet(horizontalHeader());
        horizontalHeader()->setSortIndicator(m_sortCol, order);
    }
    arrange();
}

void Grid::arrange()
{
    const int rows = m_model->dataRows();
    const bool sorted = m_sortCol >= 0 && m_sorted.size() == size_t(rows);
    const bool narrowed = !m_narrowText.isEmpty() && !m_narrowCols.empty();
    if (narrowed && m_haystack.size() != size_t(rows)) {
        // The searched columns' texts of each row, once per load: a keystroke then reads no field.
        m_haystack.assign(size_t(rows), QString());
        for (int r = 0; r < rows; ++r) {
            QString &hay = m_haystack[size_t(r)];
            for (const int c : m_narrowCols) {
                hay += m_model->cell(r + 1, c);
                hay += QLatin1Char('\n');
            }
        }
    }
    std::vector<int> order;
    if (narrowed || sorted) {
        order.reserve(size_t(rows));
        for (int i = 0; i < rows; ++i) {
            const int r = sorted ? m_sorted[size_t(i)] : i;
            if (!narrowed || m_haystack[size_t(r)].contains(m_narrowText, Qt::CaseInsensitive))
                order.push_back(r);
        }
    }
    m_model->arrange(std::move(order), narrowed || sorted, m_filling == 0);
    if (m_filling == 0)
        showCurrent();
}

void Grid::forgetArrangement()
{
    m_haystack.clear();
    m_sorted.clear();
    const bool was = m_model->arranged() || m_sortCol >= 0 || !m_narrowText.isEmpty();
    m_narrowText.clear();
    m_sortCol = -1;
    if (!was)
        return;
    {
        const QSignalBlocker quiet(horizontalHeader());
        horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    }
    if (m_model->arranged())
        m_model->arrange({}, false, m_filling == 0);
}

}  // namespace ui
