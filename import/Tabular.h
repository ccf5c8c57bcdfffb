#pragma once
// Statements laid out as a table: CSV text files and Excel workbooks (.xlsx, .xls). Their
// columns mean what the user says; the importer proposes a mapping from the content and the
// user confirms or changes it.
#include "import/Statement.h"

#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace import {

enum class ColumnRole {
    Ignore,
    Date,         // the booking date
    Amount,       // a signed amount (money in positive), or unsigned with a DebitCredit column
    MoneyIn,      // money in, as a positive number (or empty)
    MoneyOut,     // money out, as a positive number (or empty; a negative number counts as out too)
    DebitCredit,  // a word that says whether the Amount column is money in or out
    Remarks,      // joined, in column order, with " · " between non-empty texts
    BankId,       // the bank's own id of the booking
};

struct TabularMapping {
    QString encoding = QStringLiteral("UTF-8");  // "UTF-8", "UTF-16LE", "UTF-16BE", "Windows-1252", "ISO-8859-1"
    QChar delimiter = QLatin1Char(',');          // CSV only
    QString sheet;                               // workbooks: the sheet's name; empty = the first
    int skipRows = 0;          // rows above the header row (or above the first data row)
    bool headerRow = true;     // the row after the skipped ones names the columns
    std::vector<ColumnRole> roles;  // one per column; columns past the end are ignored
    QString dateFormat = QStringLiteral("yyyy-MM-dd");  // a QDate format; workbook date cells need none
    QChar decimalMark = QLatin1Char('.');
    QStringList inWords;   // DebitCredit values meaning money in (compared without case and spaces)
    QStringList outWords;  // DebitCredit values meaning money out

    // The mapping as one line of text and back, to be kept as a user's profile.
    QString ToText() const;
    static std::optional<TabularMapping> FromText(const QString &text);
};

// The first rows of a table, as the dialog shows them before a mapping is chosen.
struct TabularSample {
    Format format = Format::Csv;
    QString encoding;           // the encoding the text was read with (CSV)
    QChar delimiter;            // the delimiter the rows were split with (CSV)
    QStringList sheets;         // workbooks: the names of the sheets
    QString sheet;              // workbooks: the sheet sampled
    std::vector<QStringList> rows;  // cell texts; workbook dates as ISO dates, numbers with a point
};

// What the importer proposes for a table, with the readings the user must choose between.
struct MappingProposal {
    TabularMapping mapping;
    // Every date format under which all values of the date column read as dates; more than one
    // means the user chooses (01/02/2024). The mapping holds the first.
    QStringList dateFormats;
    // Every decimal mark under which all amounts read; two means the user chooses (1.000).
    QList<QChar> decimalMarks;
    // The table's shape: its column count and header texts, to find a saved profile for it.
    QString shape;
    // Set when no column could be taken for the date or the amount: what the user must set.
    QString missing;
};

// Reads the first rows of a CSV file or workbook. Empty encoding or delimiter: recognised from
// the content (UTF-8 with or without BOM, UTF-16 with BOM, else Windows-1252; the delimiter that
// splits the rows most evenly). Throws ReadError.
TabularSample SampleTable(const QString &path, Format format, int rows = 50, const QString &encoding = {},
                          QChar delimiter = {}, const QString &sheet = {});
// Proposes a mapping for a sample: rows to skip, header row, each column's role, date format and
// decimal mark.
MappingProposal ProposeMapping(const TabularSample &sample);
// The shape of a table, as ProposeMapping gives it.
QString TableShape(const TabularSample &sample, const TabularMapping &mapping);
// Reads every data row of a table through a mapping. A row that cannot be read becomes a line
// with its error; an empty row is skipped. Throws ReadError, Cancelled.
void ReadTable(const QString &path, Format format, const TabularMapping &mapping, const LineSink &sink,
               const Progress &progress = {});

// The amount and date rules, shared by every reader of text.
// Reads an amount: sign in front or behind ("-110.7", "110.7-"), parentheses for negative,
// currency signs and codes, spaces, apostrophes and the other mark as thousands separators.
// With decimalMark '.', "1.000" is 1; with ',' it is 1000. Nothing for a text that is no amount.
std::optional<double> ParseAmount(const QString &text, QChar decimalMark);
// The decimal marks under which every one of the texts (empty ones skipped) reads as an amount,
// in the order of likelihood; empty when neither does. Two only when the readings differ (every
// value like "1.000": the mark that is written comes second, as currencies rarely have three
// decimals); where both read every value alike (whole numbers) just '.'.
QList<QChar> DecimalMarksFor(const QStringList &texts);
// The date formats under which every one of the texts (empty ones skipped) reads as a date,
// the likeliest first; empty when none does.
QStringList DateFormatsFor(const QStringList &texts);
// Reads a date written in one of those formats (dd, d, MM, M, MMM for an English month name,
// yyyy, yy, and HH, mm, ss for a time that is read and dropped). A two-digit year is in
// 2000-2099 unless that lies more than 20 years ahead, then in the 1900s. Nothing for a text
// that does not read.
std::optional<QDate> ParseDate(const QString &text, const QString &format);
// Every date format DateFormatsFor tries, in the order it proposes them.
const QStringList &DateFormatCandidates();

}  // namespace import
