#include "import/TextInput.h"

namespace import::detail {

LineReader::LineReader(const QString &path, const Progress &progress) : m_file(path), m_progress(progress)
{
    if (!m_file.open(QIODevice::ReadOnly))
        throw ReadError(QStringLiteral("The file %1 cannot be opened: %2").arg(path, m_file.errorString()));
    const QByteArray head = m_file.peek(3);
    if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF")) {
        m_wide = head.startsWith("\xFF\xFE") ? Wide::Utf16Le : Wide::Utf16Be;
        m_wideDecoder = std::make_unique<QStringDecoder>(
            m_wide == Wide::Utf16Le ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
            QStringDecoder::Flag::Stateless);
        m_file.read(2);
    } else if (head.startsWith("\xEF\xBB\xBF")) {
        m_file.read(3);
    }
}

void LineReader::Tell()
{
    if (!m_progress)
        return;
    const qint64 done = m_file.pos();
    if (done - m_lastTold < 64 * 1024 && done < m_file.size())
        return;
    m_lastTold = done;
    if (!m_progress(done, m_file.size()))
        throw Cancelled();
}

bool LineReader::NextRaw(QByteArray &bytes)
{
    if (m_file.atEnd())
        return false;
    bytes = m_file.readLine();
    while (bytes.endsWith('\n') || bytes.endsWith('\r'))
        bytes.chop(1);
    return true;
}

bool LineReader::Next(QString &line)
{
    Tell();
    if (m_wide == Wide::None) {
        QByteArray bytes;
        if (!NextRaw(bytes))
            return false;
        ++m_lineNumber;
        line = DecodeBytes(bytes, m_latin1);
        return true;
    }
    for (;;) {
        const qsizetype end = m_wideBuffer.indexOf(QLatin1Char('\n'));
        if (end >= 0) {
            line = m_wideBuffer.left(end);
            m_wideBuffer.remove(0, end + 1);
            break;
        }
        if (m_file.atEnd()) {
            if (m_wideBuffer.isEmpty())
                return false;
            line = m_wideBuffer;
            m_wideBuffer.clear();
            break;
        }
        m_wideBuffer += (*m_wideDecoder)(m_file.read(64 * 1024));
    }
    if (line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    ++m_lineNumber;
    return true;
}

QString DecodeBytes(const QByteArray &bytes, bool latin1)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    if (latin1)
        return QString::fromLatin1(bytes);
    QStringDecoder cp1252("Windows-1252");
    if (cp1252.isValid())
        return cp1252(bytes);
    return QString::fromLatin1(bytes);
}

QString JoinRemarks(const QStringList &parts)
{
    QStringList kept;
    for (const QString &part : parts) {
        const QString text = part.trimmed();
        if (!text.isEmpty() && !kept.contains(text))
            kept << text;
    }
    return kept.join(QStringLiteral(" · "));
}

std::optional<double> ParsePlainAmount(QString text, bool commaOnly)
{
    text.remove(QLatin1Char(' '));
    text.remove(QChar(0xA0));
    if (text.isEmpty())
        return std::nullopt;
    QString sign;
    if (text.front() == QLatin1Char('-') || text.front() == QLatin1Char('+')) {
        sign = text.front() == QLatin1Char('-') ? QStringLiteral("-") : QString();
        text.remove(0, 1);
    }
    const qsizetype comma = text.lastIndexOf(QLatin1Char(','));
    const qsizetype point = commaOnly ? -1 : text.lastIndexOf(QLatin1Char('.'));
    if (commaOnly && text.contains(QLatin1Char('.')))
        return std::nullopt;
    if (comma >= 0 && point >= 0) {
        // Both marks: the last one is the decimal mark, the other groups thousands.
        if (comma > point) {
            text.remove(QLatin1Char('.'));
            text.replace(QLatin1Char(','), QLatin1Char('.'));
        } else {
            text.remove(QLatin1Char(','));
        }
    } else if (comma >= 0) {
        if (text.count(QLatin1Char(',')) > 1)
            return std::nullopt;
        text.replace(QLatin1Char(','), QLatin1Char('.'));
    }
    if (text.isEmpty() || text.count(QLatin1Char('.')) > 1)
        return std::nullopt;
    bool digit = false;
    for (const QChar c : text) {
        if (c.isDigit())
            digit = true;
        else if (c != QLatin1Char('.'))
            return std::nullopt;
    }
    if (!digit)
        return std::nullopt;
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    bool ok = false;
    const double value = (sign + text).toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return value == 0 ? 0.0 : value;
}

QDate ParseCompactDate(const QString &text)
{
    const QString t = text.trimmed();
    if (t.size() < 8)
        return {};
    for (int i = 0; i < 8; ++i)
        if (!t.at(i).isDigit())
            return {};
    if (t.size() > 8 && t.at(8).isDigit() && t.size() < 12)
        return {};  // digits that run on past the day but are no time
    return QDate(t.left(4).toInt(), t.mid(4, 2).toInt(), t.mid(6, 2).toInt());
}

}  // namespace import::detail
