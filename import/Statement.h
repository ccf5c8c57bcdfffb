#pragma once
// What every statement reader gives: one line per booking, in the file's order. The readers know
// nothing of the database; the import dialog and qmk-import put the lines into a project.
#include <QDate>
#include <QString>
#include <QStringList>
#include <QByteArray>
#include <functional>
#include <stdexcept>
#include <vector>

namespace import {

// The kinds of file the importer reads, recognised from their content.
enum class Format { Unknown, Csv, Xlsx, Xls, Ofx, Qif, Camt053, Mt940 };
QString FormatName(Format format);

struct StatementLine {
    // Where the line stands in the file, for the user: the text line of a CSV, QIF or MT940 file,
    // the row of a worksheet, the ordinal of an OFX transaction or a CAMT entry.
    int line = 0;
    QDate date;            // the booking date
    double amount = 0;     // signed: money in is positive
    QString remarks;       // payee and memo, or the counterparty and the remittance text
    QString bankId;        // the bank's own id of the booking; empty when the format has none
    // The line's identity within its file, the same in every file that holds the same line:
    // a hash of the line's own content and of how many identical lines came before it in the
    // file (so three equal coffees of one day are three lines). Recognises a line already
    // imported from an overlapping statement that carries no bank id.
    QByteArray fingerprint;
    // Why the line cannot be imported; empty when it can. A line with an error keeps what could
    // be read of it.
    QString error;
};

// A file that is no statement, or one damaged past reading. The message is for the user and
// names the line or the element where reading stopped.
class ReadError : public std::runtime_error {
public:
    explicit ReadError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString &message() const { return m_message; }
private:
    QString m_message;
};

// Thrown when the progress callback asked to stop.
class Cancelled : public std::runtime_error {
public:
    Cancelled() : std::runtime_error("cancelled") {}
};

// Told how far reading has come (bytes of the file read, and the file's size); answering false
// cancels the reading (Cancelled is thrown).
using Progress = std::function<bool(qint64 done, qint64 total)>;
// Takes each line as it is read, so a large file never needs to be held whole.
using LineSink = std::function<void(StatementLine &&line)>;

// The text for a file that is no statement at all.
QString NotAStatementMessage();

// The SHA-256 of a file's bytes, read in pieces; empty when it cannot be read. An import keeps it
// with its batch, to tell which file it came from.
QByteArray FileSha256(const QString &path);

}  // namespace import
