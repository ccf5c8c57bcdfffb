#pragma once
// The ledger of one project written to a file the user chooses, in one of three formats: an Excel
// workbook (.xlsx) with real numbers, dates and live totals (and, for a project planned by heads, a
// second sheet "Budget"), a CSV table, or the Excel 2.1 worksheet of the Export button's layout. The rows come from the database with the statement the
// ledger window uses, in its order. Every format is written beside the target and put in its place
// only when complete, so a failure leaves an existing file as it was and no partial file behind.
#include "data/Budgets.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <stdexcept>
#include <vector>

class QWidget;
class Variant;

enum class LedgerFormat { Xlsx, Csv, Xls };

// One field of an entry: a number, a date or a text, or nothing.
struct LedgerValue {
    enum class Kind { Blank, Number, Date, Text } kind = Kind::Blank;
    double number = 0;
    QDate date;
    QString text;
};

// What an export holds, read from the database at once.
struct LedgerTable {
    qint32 taskId = 0;
    QString projectName, userName;
    // Each entry's head, remarks, amount in, amount out and date, in the ledger's order.
    std::vector<std::vector<LedgerValue>> entries;
    // The plan by heads; only the workbook shows it, and only when budget.HasPlan().
    ProjectBudget budget;
    ProjectForecast forecast;
};

// The failure of an export, with its reason as the user reads it.
class LedgerExportError : public std::runtime_error {
public:
    explicit LedgerExportError(const QString &reason) : std::runtime_error(reason.toStdString()), m_reason(reason) {}
    QString Reason() const { return m_reason; }

private:
    QString m_reason;
};

// The column headers, as the ledger shows them.
const QStringList &LedgerHeaders();

// Reads project taskId's name and its owner's entries of it (the current user's own, or those of the
// owner of a project shared with them); throws LedgerExportError or SqlError.
LedgerTable LoadLedgerTable(qint32 taskId);
// Whose entries a project's ledger holds: its owner's (the project row's UserId). The user's own
// name as logged in when the project is theirs, so that their statements read as always.
QString LedgerOwner(const Variant &projectUserId);

// Writes the table to target in the given format, safely (see above); throws LedgerExportError.
void WriteLedgerFile(const LedgerTable &table, LedgerFormat format, const QString &target);

// The name a worksheet gets for a project: the characters a sheet name cannot hold become "_", at
// most 31 characters, "Ledger" when nothing is left or the name would start or end with "'".
QString SheetNameFor(const QString &projectName);

// A text as a CSV field: quoted when it holds a comma, a quote or a line break, and with a leading
// "'" when a spreadsheet would take it for a formula.
QString CsvText(const QString &text);

// The whole export of the ledger on show: the save dialog (starting in the user's last folder and
// format), the file, the offer to open it, and a box saying why when it fails. Answers whether
// the file was written.
bool ExportLedgerAs(qint32 taskId, QWidget *parent = nullptr, const QString &taskName = QString());
