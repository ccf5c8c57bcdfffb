#pragma once
// Helpers the readers of text statements share: a line reader that decodes as it goes and tells
// progress, the joining of remark texts, and dates and amounts as the fixed layouts write them.
#include "import/Statement.h"

#include <QFile>
#include <QStringDecoder>
#include <memory>
#include <optional>

namespace import::detail {

// The text encoding of a file given its first bytes: a UTF-16 byte-order mark, else none (the
// lines are 8-bit and decoded one by one).
enum class Wide { None, Utf16Le, Utf16Be };

// Reads a text file line by line without holding it whole. Each 8-bit line is read as UTF-8
// when it is valid UTF-8 (a Windows-1252 or Latin-1 text with accents almost never is), else
// in the fallback charset; UTF-16 files with a byte-order mark are decoded as such.
class LineReader {
public:
    LineReader(const QString &path, const Progress &progress);
    // The next line without its line end; false at the end of the file.
    bool Next(QString &line);
    int LineNumber() const { return m_lineNumber; }
    // The charset for lines that are not UTF-8: "Windows-1252" (the default) or "ISO-8859-1".
    void SetFallback(const QString &charset) { m_latin1 = charset == QLatin1String("ISO-8859-1"); }
    // Tells the progress callback how far reading has come; throws Cancelled when told to stop.
    void Tell();

private:
    bool NextRaw(QByteArray &bytes);
    QFile m_file;
    Progress m_progress;
    Wide m_wide = Wide::None;
    std::unique_ptr<QStringDecoder> m_wideDecoder;
    QString m_wideBuffer;
    bool m_latin1 = false;
    int m_lineNumber = 0;
    qint64 m_lastTold = 0;
};

// Decodes 8-bit text: UTF-8 when valid, else Windows-1252 (or Latin-1 when asked).
QString DecodeBytes(const QByteArray &bytes, bool latin1 = false);

// Joins remark texts with " · ", leaving out empty ones and a text equal to one already taken.
QString JoinRemarks(const QStringList &parts);

// An amount written with digits, an optional sign in front and one decimal mark ('.' or ',';
// the other one is taken as grouping when both appear). Nothing for any other text.
std::optional<double> ParsePlainAmount(QString text, bool commaOnly = false);

// A date written as YYYYMMDD at the start of the text (OFX), or nothing.
QDate ParseCompactDate(const QString &text);

}  // namespace import::detail
