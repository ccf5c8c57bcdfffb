#pragma once
// The rows of a table as the mapping sees them, whatever file they come from: split CSV text or
// the cells of a worksheet. Rows are handed out one at a time so a large file is never held whole.
#include "import/Tabular.h"

#include <QFile>
#include <QStringDecoder>
#include <memory>

namespace import::detail {

struct TableRow {
    int line = 0;       // the text line where the row starts, or the worksheet's row number
    QStringList cells;
};

class RowSource {
public:
    virtual ~RowSource() = default;
    // The next row that holds anything; false at the end. Throws ReadError, Cancelled.
    virtual bool Next(TableRow &row) = 0;
};

// Text decoding for the encodings a CSV file may come in. Windows-1252 is decoded here (ISO-8859-1
// files are read as Windows-1252, which only adds printable characters where Latin-1 has controls).
class TextDecoder {
public:
    explicit TextDecoder(const QString &encoding);
    QString Decode(QByteArrayView bytes);
    bool HasError() const { return m_utf && m_utf->hasError(); }
private:
    std::unique_ptr<QStringDecoder> m_utf;  // null for Windows-1252
};

// Recognises the encoding from the first bytes: a byte-order mark, else UTF-8 when they decode
// as UTF-8, else Windows-1252.
QString DetectEncoding(const QByteArray &head);
// The delimiter that splits the rows of the text most evenly into more than one column; the one
// named by an Excel "sep=" first line when there is one.
QChar DetectDelimiter(const QString &text);

// Reads a CSV file row by row: RFC 4180 quoting (doubled quotes, line breaks in quoted fields),
// CRLF, LF or CR line ends, and an Excel "sep=" first line skipped.
class CsvSource : public RowSource {
public:
    CsvSource(const QString &path, const QString &encoding, QChar delimiter, const Progress &progress);
    bool Next(TableRow &row) override;
private:
    bool Fill();
    QFile m_file;
    TextDecoder m_decoder;
    QChar m_delimiter;
    Progress m_progress;
    QString m_buffer;
    qsizetype m_pos = 0;
    bool m_eof = false;
    int m_line = 1;
};

// The rows of one sheet of a workbook (.xlsx or .xls); the sheet's name, or empty for the first.
// Fills sheets and chosen with the workbook's sheet names and the sheet read.
std::unique_ptr<RowSource> OpenWorkbook(const QString &path, Format format, const QString &sheet, QStringList *sheets,
                                        QString *chosen, const Progress &progress);

}  // namespace import::detail
