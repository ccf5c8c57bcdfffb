#pragma once
// The columns of the ledger window's two grids, by name: the loaders fill them, the entry editor
// and the task list read them, and the export writes the ledger grid from them.

// The ledger of one task, an entry a row.
namespace LedgerColumn {
enum : int { Id, Head, Remarks, AmountIn, AmountOut, Date, Count };
}

// The task list, a task a row.
namespace TaskColumn {
enum : int { Id, Name, StartDate, Cost, CostPlanned, Status, Ended, Count };
}
