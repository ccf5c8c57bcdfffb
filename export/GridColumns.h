#pragma once
// The columns of the ledger window's two grids, by name: the loaders fill them, the entry editor
// and the task list read them, and the export writes the ledger grid from them.

// The ledger of one task, an entry a row.
namespace LedgerColumn {
enum : int { Id, Head, Remarks, AmountIn, AmountOut, Date, Count };
}

// The task list, a task a row.
namespace TaskColumn {
// Owner: empty for the user's own projects, the owner's name for projects shared with the user.
enum : int { Id, Name, StartDate, Cost, CostPlanned, Status, Ended, Owner, Count };
}
