#pragma once
// The export of one task's ledger, as the ledger window shows it, into a worksheet file in the
// program's "xsl" folder, followed by the offer to open it.
#include <QString>

namespace ui {
class Grid;
}

// taskNo, taskName, received, spent and balance are the texts the window shows for the selected
// task's number and name, the two totals and the balance. Does nothing when no task is selected
// (taskNo empty). A failure removes the partly written file and says why in a box.
void ExportTaskReport(const ui::Grid &grid, const QString &taskNo, const QString &taskName,
                      const QString &received, const QString &spent, const QString &balance);
