// A grid showing a query's rows: cells made from the result when read or drawn, the looked-up column
// made once while loading, texts set on cells in their place, and fewer, more or cleared rows.
#include "TestSupport.h"

#include "ledger/Steps.h"
#include "ui/Grid.h"

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
    const auto rs = SharedConnection.Execute("Select StatusID,StatusName From tblStatus Order by StatusID");
    rs->MoveNext();  // rows are shown from where the cursor stands
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
