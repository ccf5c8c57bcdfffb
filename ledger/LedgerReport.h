#pragma once
// The ledger on show as a printed report: the project's number, name, status, start date and
// planned cost, its entries (date, head, remarks, received, spent) with the table's header on every
// page, the totals, the balance and its word, the project's budget when it is planned by heads (a
// line a planned head with planned, spent, left and % used, their totals and the two forecasts at
// completion), the project's two charts, the user's name, the date printed and "page N of M". Pages are laid out one at a time behind a progress dialog that can
// cancel. The rows come from the database, with the statement the ledger uses.
#include <QString>

class QWidget;

// Prints the ledger of project taskId through the platform's print dialog. Answers whether it printed.
bool PrintLedger(qint32 taskId, QWidget *parent = nullptr);
// Writes it to a PDF file chosen in a save dialog; a cancelled or failed writing leaves no file.
// Answers whether the file was written.
bool SaveLedgerPdf(qint32 taskId, QWidget *parent = nullptr, const QString &taskName = QString());
