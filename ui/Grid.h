#pragma once
// A grid of texts with one fixed header row, as the ledger window uses it: row and column counts,
// the current row and column, the text of the current cell and of any cell, column widths in twips
// (1440 an inch, at the screen's dots per inch) and clearing. Row 0 is the header row; rows 1 and
// up are the data rows. The last column takes the width left over; a text wider than its column
// ends in an ellipsis and shows whole in its tool tip.
//
// The texts live in a model behind the view, so that a load of tens of thousands of rows is one
// model reset rather than one view update per row (see Fill). A query's rows are stepped as they
// are needed: the first screen at once, the rest in the background of the event loop (or sooner,
// when the user scrolls to the end); whatever the program asks of the grid (its rows, a cell, the
// current row) it answers as with every row loaded. Only the user raises Click and
// DblClick: a mouse click or double-click, or Space or Enter on the focused grid. The arrow keys
// move the current row without raising anything, and nothing the program does raises them.
#include <QAbstractTableModel>
#include <QTableView>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

class RowStream;
class Variant;

namespace ui {

class GridModel;

class Grid : public QTableView {
    Q_OBJECT
public:
    explicit Grid(const QString &name, QWidget *parent = nullptr);
    ~Grid() override;

    // Row count, the header row included (at least 1).
    int Rows() const;
    // The rows the view holds so far (the header row included), and whether rows of a query are
    // still to come; for measuring and testing the streaming.
    int RowsLoaded() const;
    bool Streaming() const;
    // Steps the next chunk of a query's rows now; answers false when none were still to come.
    bool LoadMore();
    void SetRows(int rows);
    int Cols() const;
    void SetCols(int cols);
    // The current row (0 = header) and column.
    int Row() const;
    void SetRow(int row);
    int Col() const { return m_col; }
    void SetCol(int col);

    // The text of the current cell.
    QString Text() const { return TextMatrix(Row(), m_col); }
    void SetText(const QString &text) { SetTextMatrix(Row(), m_col, text); }
    QString TextMatrix(int row, int col) const;
    void SetTextMatrix(int row, int col, const QString &text);

    // Column widths in twips.
    int ColWidth(int col) const;
    void SetColWidth(int col, int twips);

    // The alignment of a column's data cells (left unless set); amounts are set to the right.
    void SetColAlignment(int col, Qt::Alignment alignment);

    // Empties every cell, the header row included; the counts stay.
    void Clear();

    // Narrowing and sorting what the view shows, never what the program reads: Rows(), Row() and
    // TextMatrix() keep answering in data rows (a click on a shown row makes that row's data row
    // the current one). Both step every row of a query first, and both end when the rows are
    // replaced (ShowRows, SetRows, Clear).
    // Shows only the data rows where one of the columns contains the text, in any letter case; an
    // empty text shows every row.
    void Narrow(const QString &text, const std::vector<int> &columns);
    QString NarrowedBy() const { return m_narrowText; }
    // The data rows the view shows.
    int RowsShown() const;
    // Whether a click on a column title sorts the view by that column (a second click reverses).
    void SetSortable(bool sortable);
    // Shows the rows in the order of a column's texts (numbers and dates by value); a column < 0
    // returns the rows' own order.
    void SortBy(int col, Qt::SortOrder order = Qt::AscendingOrder);
    int SortColumn() const { return m_sortCol; }

    // The rows of a query, shown without copying their texts: data row r shows, in column c,
    // text(c, field) of field fieldOf[c] of the stream's row r - 1, made when the cell is drawn or
    // read (blank for a null field, no field or a text that fails); in madeColumn, the text that
    // make gave when the row was stepped. text must run no statement; make may.
    struct RowSource {
        std::shared_ptr<RowStream> rows;
        std::vector<int> fieldOf;
        std::function<QString(int column, const Variant &field)> text;
        int madeColumn = -1;
        std::function<QString(const Variant &field)> make;
    };
    // How many rows a load shows at once (more than a screen holds); the rest follow.
    static constexpr int kFirstRows = 128;
    // How long the rest waits for the first screen to paint.
    static constexpr int kPaintFirstMs = 100;
    // Replaces the data rows by the source's rows (those stepped so far, then the rest as they
    // come); the last one becomes the current row.
    void ShowRows(RowSource source);

    // While a Fill lives, rows and texts change in the model only; when it ends the view takes
    // them in one step and shows the current row.
    class Fill {
    public:
        explicit Fill(Grid &grid);
        ~Fill();
        Fill(const Fill &) = delete;
        Fill &operator=(const Fill &) = delete;

    private:
        Grid &m_grid;
    };

Q_SIGNALS:
    void Click();
    void DblClick();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void resizeEvent(QResizeEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    // Steps the rest of a query's rows now.
    void complete() const;
    void streamMore();
    void showCurrent();
    void layoutColumns();
    int pixels(int twips) const;
    void userClick();
    // Builds the view's order from the narrowing and the sort; drops both when the rows change.
    void arrange();
    void forgetArrangement();
    void sortByTitle(int col);

    GridModel *m_model;
    QTimer m_streamer;          // steps the rest of a query's rows, a chunk each turn of the event loop
    bool m_lastIsCurrent = false;  // the current row is the last row, wherever the rows end
    std::vector<int> m_twips;  // widths as set, -1 where none was
    int m_row = 0;
    int m_col = 0;
    int m_filling = 0;
    bool m_syncing = false;
    bool m_pressed = false;
    bool m_laying = false;
    QString m_narrowText;
    std::vector<int> m_narrowCols;
    int m_sortCol = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    std::vector<int> m_sorted;        // the data rows in the sort's order, while a sort is on
    std::vector<QString> m_haystack;  // each data row's searched texts, while narrowing
};

}  // namespace ui
