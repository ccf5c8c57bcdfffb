// A grid showing a query's rows: cells made from the result when read or drawn, the looked-up column
// made once while loading, texts set on cells in their place, and fewer, more or cleared rows.
#include "TestSupport.h"

#include "export/GridColumns.h"
#include "ledger/Steps.h"
#include "ledger/frmMainMenu.h"
#include "ui/Grid.h"

#include <QHeaderView>
#include <QScreen>
#include <QScrollBar>

using GridRows = ProgramFolderTest;

TEST_F(GridRows, ShowAResultsRowsAsTheyAreReadAndLetSetTextsReplaceThem)
{
    OpenDatabase();
    ui::Grid grid{QStringLiteral("grid")};
    grid.SetCols(3);
    int lookUps = 0;
    const auto text = [&](int c, const Variant &v) {
        lookUps += c == 1;
        return c == 1 ? "#" + v.toString() : v.toString();
    };
    const std::vector<GridColumn> columns{{"Name", 900, "StatusName"}, {"Id", 600, "StatusID"}, {"None", 600, "Nope"}};
    const auto rs = std::make_shared<RowStream>("Select StatusID,StatusName From tblStatus Where StatusID>1 Order by StatusID");
    ASSERT_TRUE(FillRows(grid, rs, columns, text, 1));
    const auto shown = [&](int r, int c) { return grid.model()->data(grid.model()->index(r - 1, c)).toString(); };
    EXPECT_EQ(QString("%1 %2 %3|%4|%5|%6 %7").arg(grid.Rows()).arg(grid.Row()).arg(grid.TextMatrix(1, 0),
              grid.TextMatrix(5, 1), grid.TextMatrix(1, 2), shown(5, 0)).arg(lookUps), "6 5 New|#6||Cancelled 5");
    grid.SetTextMatrix(2, 0, "set");
    grid.SetRows(4);
    grid.SetRows(6);
    EXPECT_EQ(QStringList({grid.TextMatrix(2, 0), shown(2, 0), grid.TextMatrix(2, 1), grid.TextMatrix(3, 0),
                           grid.TextMatrix(4, 0), grid.TextMatrix(5, 1)}),
              QStringList({"set", "set", "#3", "On Hold", "", ""}));
    EXPECT_EQ(lookUps, 5);  // reading a looked-up cell runs no look-up again
    grid.SetTextMatrix(5, 0, "later");
    grid.Clear();
    EXPECT_EQ(grid.TextMatrix(0, 0) + grid.TextMatrix(2, 0) + grid.TextMatrix(3, 1) + grid.TextMatrix(5, 0), "");
    EXPECT_FALSE(FillRows(grid, nullptr, columns, text, 1));
    EXPECT_EQ(grid.Rows(), 1);
}

// At the ledger window's default size, with the demo data, every column of both grids is in sight
// (no scrolling sideways), at widths that follow the screen's dots per inch; amounts stand to the
// right, and a cut-short text is there whole in its tool tip.
TEST_F(GridRows, BothLedgerGridsFitTheWindowAtItsDefaultSize)
{
    QFile::remove(DatabasePath());
    CreateDatabaseFile(DatabasePath(), Sample::Demo);
    Scene("demo");
    frmMainMenu ledger;
    ledger.gdPreviewList->SetRow(2);
    ledger.gdPreviewList_Click();
    ledger.resize(1280, 740);  // the size it opens at where the screen has room (the test screen is smaller)
    ledger.show();
    QApplication::processEvents();
    const double dpi = ledger.screen()->logicalDotsPerInchX();
    for (ui::Grid *grid : {ledger.gdPreviewList, ledger.gdTansactionsList}) {
        SCOPED_TRACE(grid->objectName().toStdString());
        ASSERT_GT(grid->Rows(), 2);
        QHeaderView *header = grid->horizontalHeader();
        for (int c = 0; c < grid->Cols(); ++c) {
            EXPECT_LE(header->sectionViewportPosition(c) + header->sectionSize(c), grid->viewport()->width()) << c;
            EXPECT_GE(header->sectionSize(c), int(grid->ColWidth(c) * dpi / 1440.0)) << c;
        }
        EXPECT_FALSE(grid->horizontalScrollBar()->isVisible());
        const int amount = grid == ledger.gdPreviewList ? int(TaskColumn::Cost) : int(LedgerColumn::AmountOut);
        const QModelIndex cell = grid->model()->index(0, amount), name = grid->model()->index(0, 1);
        EXPECT_TRUE(grid->model()->data(cell, Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
        EXPECT_TRUE(grid->model()->data(name, Qt::TextAlignmentRole).toInt() & Qt::AlignLeft);
        grid->SetTextMatrix(1, 1, QString(200, 'W'));
        EXPECT_EQ(grid->model()->data(name, Qt::ToolTipRole).toString(), QString(200, 'W'));
    }
    // The last column takes what is left over.
    QHeaderView *header = ledger.gdTansactionsList->horizontalHeader();
    const int last = LedgerColumn::Date;
    EXPECT_NEAR(header->sectionViewportPosition(last) + header->sectionSize(last),
                ledger.gdTansactionsList->viewport()->width(), 2);
}
