// Telling the kind of a statement from its first few kilobytes.
#include "import/Readers.h"
#include "import/TextInput.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

namespace import {
using namespace detail;

namespace {

constexpr qint64 kSampleSize = 8 * 1024;

// The sample as text, or nothing when it is binary.
std::optional<QString> SampleText(QByteArray bytes, bool complete)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder wide(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        return wide(bytes.mid(2));
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    if (!complete) {
        // The sample may end inside a UTF-8 sequence or a line: drop the unfinished line.
        const qsizetype end = bytes.lastIndexOf('\n');
        if (end > 0)
            bytes.truncate(end + 1);
    }
    int control = 0;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u == 0)
            return std::nullopt;
        if (u < 0x20 && c != '\n' && c != '\r' && c != '\t')
            ++control;
    }
    if (control > 8 + bytes.size() / 100)
        return std::nullopt;
    return DecodeBytes(bytes);
}

bool LooksLikeQif(const QStringList &lines)
{
    static const QRegularExpression header(QStringLiteral("^!(Type:|Account|Option:|Clear:)"), QRegularExpression::CaseInsensitiveOption);
    for (const QString &line : lines)
        if (header.match(line).hasMatch())
            return true;
    // A file of bare records: every line a field letter or ^, with dates, amounts and ends.
    static const QRegularExpression field(QStringLiteral("^[A-Za-z$%^]"));
    bool date = false, amount = false, end = false;
    int fields = 0;
    for (const QString &line : lines) {
        if (line.trimmed().isEmpty())
            continue;
        if (!field.match(line).hasMatch())
            return false;
        ++fields;
        date |= line.startsWith(QLatin1Char('D'));
        amount |= line.startsWith(QLatin1Char('T')) || line.startsWith(QLatin1Char('U'));
        end |= line.trimmed() == QLatin1String("^");
    }
    return fields >= 3 && date && amount && end;
}

bool LooksLikeMt940(const QStringList &lines)
{
    bool reference = false, booking = false;
    for (QString line : lines) {
        line.remove(QRegularExpression(QStringLiteral("^[\\x00-\\x1F]+")));
        if (line.startsWith(QLatin1Char('{')) && line.contains(QLatin1String("{4:")))
            line = line.mid(line.indexOf(QLatin1String("{4:")) + 3);
        reference |= line.startsWith(QLatin1String(":20:"));
        booking |= line.startsWith(QLatin1String(":61:")) || line.startsWith(QLatin1String(":60F:"))
                   || line.startsWith(QLatin1String(":60M:"));
    }
    return reference && booking;
}

// Text whose lines split evenly by one delimiter into two or more fields.
bool LooksLikeCsv(const QStringList &lines)
{
    QStringList rows;
    for (const QString &line : lines)
        if (!line.trimmed().isEmpty())
            rows << line;
    if (rows.size() < 2)
        return false;
    for (const QChar delimiter : {QLatin1Char(';'), QLatin1Char(','), QLatin1Char('\t'), QLatin1Char('|')}) {
        QList<int> counts;
        for (const QString &row : rows) {
            int count = 0;
            bool quoted = false;
            for (const QChar c : row) {
                if (c == QLatin1Char('"'))
                    quoted = !quoted;
                else if (c == delimiter && !quoted)
                    ++count;
            }
            counts << count;
        }
        // The most common count among the rows; banks put a few lines about the account above
        // the table, so the table's rows need only be a good part of the sample.
        QHash<int, int> often;
        for (const int c : counts)
            ++often[c];
        int best = 0, rowsWithBest = 0;
        for (auto it = often.cbegin(); it != often.cend(); ++it)
            if (it.key() > 0 && it.value() > rowsWithBest) {
                best = it.key();
                rowsWithBest = it.value();
            }
        if (best > 0 && rowsWithBest >= qMin(3, int(counts.size())) && rowsWithBest * 10 >= counts.size() * 4)
            return true;
    }
    return false;
}

}  // namespace

Format DetectFormat(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ReadError(QStringLiteral("The file %1 cannot be opened: %2").arg(path, file.errorString()));
    const QByteArray bytes = file.read(kSampleSize);
    if (bytes.startsWith("PK\x03\x04"))
        return Format::Xlsx;
    if (bytes.startsWith("\xD0\xCF\x11\xE0"))
        return Format::Xls;
    const auto text = SampleText(bytes, file.atEnd());
    if (!text)
        return Format::Unknown;
    const QString suffix = QFileInfo(path).suffix().toLower();

    if (text->contains(QLatin1String("BkToCstmrStmt")) || text->contains(QLatin1String("camt.053")))
        return Format::Camt053;
    if (text->contains(QLatin1String("OFXHEADER:"), Qt::CaseInsensitive) || text->contains(QLatin1String("<?OFX"), Qt::CaseInsensitive)
        || text->contains(QLatin1String("<OFX>"), Qt::CaseInsensitive))
        return Format::Ofx;
    const QStringList lines = text->split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
    const bool qif = LooksLikeQif(lines);
    const bool mt940 = LooksLikeMt940(lines);
    const bool csv = LooksLikeCsv(lines);
    // The name breaks a tie between layouts the content allows.
    if (csv && (qif || mt940) && (suffix == QLatin1String("csv") || suffix == QLatin1String("txt")))
        return Format::Csv;
    if (qif)
        return Format::Qif;
    if (mt940)
        return Format::Mt940;
    if (csv)
        return Format::Csv;
    return Format::Unknown;
}

}  // namespace import
