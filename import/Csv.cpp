// CSV text: encoding and delimiter recognised from the content, records split as RFC 4180 says
// and as real bank exports bend it, read in chunks so memory stays bounded by one record.
#include "import/TableSource.h"

#include <QHash>
#include <QRegularExpression>

namespace import::detail {

namespace {

constexpr qint64 kChunk = 1 << 16;
// A record longer than this is a quote that never closes, not a bank's booking.
constexpr qsizetype kMaxRecord = 4 << 20;

const char16_t kWindows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

enum class Parsed { Row, NeedMore, Unclosed };

// Parses one record of text from pos. Row: fields filled, pos past the record's line end, lines =
// the line breaks taken (inside quoted fields too). NeedMore: the text ends inside the record and
// more may come. Unclosed: the text ends inside a quoted field (fields hold what was read).
Parsed ParseRecord(const QString &text, qsizetype &pos, QChar delimiter, bool atEnd, QStringList &fields, int &lines)
{
    const QChar quote(QLatin1Char('"')), cr(QLatin1Char('\r')), lf(QLatin1Char('\n'));
    const qsizetype size = text.size();
    qsizetype p = pos;
    fields.clear();
    lines = 0;
    QString field;
    bool inQuotes = false, wasQuoted = false;
    for (;;) {
        if (p >= size) {
            if (!atEnd) return Parsed::NeedMore;
            fields << field;
            pos = p;
            return inQuotes ? Parsed::Unclosed : Parsed::Row;
        }
        const QChar c = text[p];
        if (inQuotes) {
            if (c == quote) {
                if (p + 1 >= size && !atEnd) return Parsed::NeedMore;
                if (p + 1 < size && text[p + 1] == quote) {
                    field += quote, p += 2;
                } else {
                    inQuotes = false, ++p;
                }
                continue;
            }
            if (c == cr || c == lf) {
                if (c == cr && p + 1 >= size && !atEnd) return Parsed::NeedMore;
                if (c == cr && p + 1 < size && text[p + 1] == lf) ++p;
                field += lf, ++p, ++lines;  // a line break inside a field is kept as one LF
                continue;
            }
            field += c, ++p;
            continue;
        }
        if (c == quote && !wasQuoted && field.trimmed().isEmpty()) {
            field.clear();
            inQuotes = wasQuoted = true, ++p;
            continue;
        }
        if (c == delimiter) {
            fields << field;
            field.clear();
            wasQuoted = false, ++p;
            continue;
        }
        if (c == cr || c == lf) {
            if (c == cr && p + 1 >= size && !atEnd) return Parsed::NeedMore;
            if (c == cr && p + 1 < size && text[p + 1] == lf) ++p;
            fields << field;
            pos = p + 1, ++lines;
            return Parsed::Row;
        }
        field += c, ++p;
    }
}

bool IsBlankRow(const QStringList &cells)
{
    for (const QString &cell : cells)
        if (!cell.trimmed().isEmpty()) return false;
    return true;
}

// An Excel "sep=;" first line names the delimiter; returns it and how long the line is.
std::optional<std::pair<QChar, qsizetype>> SepLine(const QString &text)
{
    static const QRegularExpression sep(QStringLiteral("^sep=(.)(\\r\\n|\\r|\\n|$)"));
    const auto match = sep.match(text);
    if (!match.hasMatch()) return std::nullopt;
    return std::make_pair(match.captured(1).at(0), match.capturedLength(0));
}

}  // namespace

TextDecoder::TextDecoder(const QString &encoding)
{
    if (encoding == QLatin1String("UTF-8"))
        m_utf = std::make_unique<QStringDecoder>(QStringDecoder::Utf8);
    else if (encoding == QLatin1String("UTF-16LE"))
        m_utf = std::make_unique<QStringDecoder>(QStringDecoder::Utf16LE);
    else if (encoding == QLatin1String("UTF-16BE"))
        m_utf = std::make_unique<QStringDecoder>(QStringDecoder::Utf16BE);
    else if (encoding != QLatin1String("Windows-1252") && encoding != QLatin1String("ISO-8859-1"))
        throw ReadError(QStringLiteral("The encoding “%1” is not one Quillmark reads.").arg(encoding));
}

QString TextDecoder::Decode(QByteArrayView bytes)
{
    if (m_utf) return m_utf->decode(bytes);
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        text[i] = b >= 0x80 && b < 0xA0 ? QChar(kWindows1252[b - 0x80]) : QChar(b);
    }
    return text;
}

QString DetectEncoding(const QByteArray &head)
{
    if (head.startsWith("\xEF\xBB\xBF")) return QStringLiteral("UTF-8");
    if (head.startsWith("\xFF\xFE")) return QStringLiteral("UTF-16LE");
    if (head.startsWith("\xFE\xFF")) return QStringLiteral("UTF-16BE");
    // Strict UTF-8: every lead byte followed by its continuation bytes, no overlong forms. A
    // sequence cut off at the end of the head is no error.
    const auto *bytes = reinterpret_cast<const unsigned char *>(head.constData());
    const qsizetype size = head.size();
    for (qsizetype i = 0; i < size;) {
        const unsigned char b = bytes[i];
        int follow = 0;
        if (b < 0x80) follow = 0;
        else if (b >= 0xC2 && b <= 0xDF) follow = 1;
        else if (b >= 0xE0 && b <= 0xEF) follow = 2;
        else if (b >= 0xF0 && b <= 0xF4) follow = 3;
        else return QStringLiteral("Windows-1252");
        for (int k = 1; k <= follow; ++k) {
            if (i + k >= size) return QStringLiteral("UTF-8");
            if ((bytes[i + k] & 0xC0) != 0x80) return QStringLiteral("Windows-1252");
        }
        i += follow + 1;
    }
    return QStringLiteral("UTF-8");
}

QChar DetectDelimiter(const QString &text)
{
    if (const auto sep = SepLine(text)) return sep->first;
    // The delimiter that gives the most rows of one column count, weighted by that count: a
    // preamble of two-column lines does not outvote the table below it.
    QChar best(QLatin1Char(','));
    qint64 bestScore = 0;
    for (QChar candidate : {QLatin1Char(';'), QLatin1Char(','), QLatin1Char('\t'), QLatin1Char('|')}) {
        QHash<int, int> rowsWithCount;
        QStringList fields;
        qsizetype pos = 0;
        int lines = 0;
        for (int records = 0; records < 200 && pos < text.size(); ++records) {
            ParseRecord(text, pos, candidate, true, fields, lines);
            if (!IsBlankRow(fields)) ++rowsWithCount[int(fields.size())];
        }
        for (auto it = rowsWithCount.cbegin(); it != rowsWithCount.cend(); ++it) {
            const qint64 score = qint64(it.key()) * it.value();
            if (it.key() > 1 && score > bestScore) bestScore = score, best = candidate;
        }
    }
    return best;
}

CsvSource::CsvSource(const QString &path, const QString &encoding, QChar delimiter, const Progress &progress)
    : m_file(path), m_decoder(encoding), m_delimiter(delimiter), m_progress(progress)
{
    if (!m_file.open(QIODevice::ReadOnly))
        throw ReadError(QStringLiteral("The file cannot be opened: %1").arg(m_file.errorString()));
    Fill();
    if (m_buffer.startsWith(QChar(0xFEFF))) m_pos = 1;
    if (const auto sep = SepLine(m_buffer.mid(m_pos, 16))) {
        m_delimiter = sep->first;
        m_pos += sep->second;
        m_line = 2;
    }
}

bool CsvSource::Fill()
{
    if (m_eof) return false;
    if (m_pos > 0) {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
    const QByteArray chunk = m_file.read(kChunk);
    if (chunk.isEmpty()) {
        m_eof = true;
    } else {
        m_buffer += m_decoder.Decode(chunk);
    }
    if (m_progress && !m_progress(m_file.pos(), m_file.size())) throw Cancelled();
    return true;
}

bool CsvSource::Next(TableRow &row)
{
    QStringList fields;
    for (;;) {
        if (m_pos >= m_buffer.size()) {
            if (!Fill()) return false;
            continue;
        }
        qsizetype pos = m_pos;
        int lines = 0;
        const Parsed parsed = ParseRecord(m_buffer, pos, m_delimiter, m_eof, fields, lines);
        if (parsed == Parsed::NeedMore) {
            if (m_buffer.size() - m_pos > kMaxRecord)
                throw ReadError(QStringLiteral("Line %1: a quoted field runs on for more than 4 MB; its closing quote is missing.").arg(m_line));
            Fill();
            continue;
        }
        if (parsed == Parsed::Unclosed)
            throw ReadError(QStringLiteral("Line %1: a quoted field is not closed before the end of the file.").arg(m_line));
        const int start = m_line;
        m_line += lines;
        m_pos = pos;
        if (IsBlankRow(fields)) continue;
        row.line = start;
        row.cells = fields;
        return true;
    }
}

}  // namespace import::detail
