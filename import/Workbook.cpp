// Excel workbooks as rows of cell texts: .xlsx through libzip and QXmlStreamReader (the sheet
// itself streamed), .xls through libfreexl. Dates become ISO dates, numbers are written with a
// point and no exponent, so the mapping reads them like CSV text.
#include "import/TableSource.h"

#include <QHash>
#include <QXmlStreamReader>
#include <cmath>
#include <freexl.h>
#include <zip.h>

namespace import::detail {

namespace {

QString NumberText(double value)
{
    QString text = QString::number(value, 'g', 15);
    if (!text.contains(QLatin1Char('e'))) return text;
    text = QString::number(value, 'f', 15);
    while (text.endsWith(QLatin1Char('0'))) text.chop(1);
    if (text.endsWith(QLatin1Char('.'))) text.chop(1);
    return text;
}

// The date of a serial number of the 1900 system (which counts 1900-02-29, a day that never
// was) or of the 1904 system. The time of day is dropped.
QString SerialDate(double serial, bool system1904)
{
    const qint64 days = qint64(std::floor(serial));
    if (system1904) return QDate(1904, 1, 1).addDays(days).toString(Qt::ISODate);
    if (days < 1) return NumberText(serial);
    // Serials before the phantom leap day count from 1899-12-31; it and later ones from 1899-12-30.
    return (days < 60 ? QDate(1899, 12, 31) : QDate(1899, 12, 30)).addDays(days).toString(Qt::ISODate);
}

// Whether a number format shows a date: a d or y, or an m that is no minute (no h or s beside it),
// outside quoted text, escapes and [colour] or [h] sections.
bool IsDateFormat(const QString &code)
{
    bool date = false, month = false, time = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i].toLower();
        if (c == QLatin1Char('"')) {
            i = code.indexOf(QLatin1Char('"'), i + 1);
            if (i < 0) break;
        } else if (c == QLatin1Char('\\')) {
            ++i;
        } else if (c == QLatin1Char('[')) {
            const qsizetype end = code.indexOf(QLatin1Char(']'), i);
            const QString inside = code.mid(i + 1, end - i - 1).toLower();
            if (inside == QLatin1String("h") || inside == QLatin1String("hh") || inside == QLatin1String("m")
                || inside == QLatin1String("mm") || inside == QLatin1String("s") || inside == QLatin1String("ss"))
                time = true;
            if (end < 0) break;
            i = end;
        } else if (c == QLatin1Char('d') || c == QLatin1Char('y')) {
            date = true;
        } else if (c == QLatin1Char('m')) {
            month = true;
        } else if (c == QLatin1Char('h') || c == QLatin1Char('s')) {
            time = true;
        }
    }
    return date || (month && !time);
}

int ColumnOf(const QString &ref)
{
    int column = 0;
    for (QChar c : ref) {
        if (!c.isLetter()) break;
        column = column * 26 + (c.toUpper().unicode() - 'A' + 1);
        if (column > 16384) return -1;
    }
    return column - 1;
}

class Zip {
public:
    explicit Zip(const QString &path)
    {
        int error = 0;
        m_zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &error);
        if (!m_zip) {
            zip_error_t ze;
            zip_error_init_with_code(&ze, error);
            const QString why = QString::fromUtf8(zip_error_strerror(&ze));
            zip_error_fini(&ze);
            throw ReadError(QStringLiteral("The file is not a readable Excel workbook: %1.").arg(why));
        }
    }
    ~Zip() { zip_discard(m_zip); }
    Zip(const Zip &) = delete;
    Zip &operator=(const Zip &) = delete;
    bool Has(const QString &part) const { return zip_name_locate(m_zip, part.toUtf8().constData(), 0) >= 0; }
    zip_file_t *Open(const QString &part, qint64 *size) const
    {
        zip_stat_t stat;
        zip_file_t *file = nullptr;
        if (zip_stat(m_zip, part.toUtf8().constData(), 0, &stat) == 0)
            file = zip_fopen(m_zip, part.toUtf8().constData(), 0);
        if (!file) throw ReadError(QStringLiteral("The workbook has no readable part %1.").arg(part));
        if (size) *size = (stat.valid & ZIP_STAT_SIZE) ? qint64(stat.size) : 0;
        return file;
    }
    // A part read whole (the sheet list, shared strings, styles); one claiming more than 256 MB
    // unpacked is refused rather than exhausting memory.
    QByteArray Read(const QString &part) const
    {
        qint64 size = 0;
        zip_file_t *file = Open(part, &size);
        if (size > (qint64(256) << 20)) {
            zip_fclose(file);
            throw ReadError(QStringLiteral("%1: the part is larger than a statement's workbook can be.").arg(part));
        }
        QByteArray data, chunk(1 << 16, Qt::Uninitialized);
        zip_int64_t got = 0;
        while ((got = zip_fread(file, chunk.data(), zip_uint64_t(chunk.size()))) > 0 && data.size() <= (qint64(256) << 20))
            data.append(chunk.constData(), got);
        zip_fclose(file);
        if (got < 0) throw ReadError(QStringLiteral("%1: the part is damaged and cannot be unpacked.").arg(part));
        if (data.size() > (qint64(256) << 20))
            throw ReadError(QStringLiteral("%1: the part is larger than a statement's workbook can be.").arg(part));
        return data;
    }
private:
    zip_t *m_zip = nullptr;
};

[[noreturn]] void XmlFailed(const QString &part, const QXmlStreamReader &xml)
{
    throw ReadError(QStringLiteral("%1, line %2: %3").arg(part).arg(xml.lineNumber()).arg(xml.errorString()));
}

// Reads a whole small part, calling onStart for each element start.
template <typename F>
void ReadXml(const QString &part, const QByteArray &data, F onStart)
{
    QXmlStreamReader xml(data);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement) onStart(xml);
    }
    if (xml.hasError()) XmlFailed(part, xml);
}

// The text of a shared string or inline string (<si>/<is>) the reader stands on: its runs joined,
// phonetic guides left out.
QString StringItem(QXmlStreamReader &xml)
{
    QString text;
    const QString outerName = xml.name().toString();
    int phonetic = 0;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (xml.name() == QLatin1String("rPh")) ++phonetic;
            else if (xml.name() == QLatin1String("t") && !phonetic) text += xml.readElementText();
        } else if (token == QXmlStreamReader::EndElement) {
            if (xml.name() == QLatin1String("rPh")) --phonetic;
            else if (xml.name() == outerName) break;
        }
    }
    return text;
}

QString Resolve(const QString &base, const QString &target)
{
    if (target.startsWith(QLatin1Char('/'))) return target.mid(1);
    QStringList parts = base.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &piece : target.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (piece == QLatin1String("..")) {
            if (!parts.isEmpty()) parts.removeLast();
        } else if (piece != QLatin1String(".")) {
            parts << piece;
        }
    }
    return parts.join(QLatin1Char('/'));
}

class XlsxSource : public RowSource {
public:
    XlsxSource(const QString &path, const QString &sheet, QStringList *sheets, QString *chosen, const Progress &progress)
        : m_zip(path), m_progress(progress)
    {
        QString workbook = QStringLiteral("xl/workbook.xml");
        if (m_zip.Has(QStringLiteral("_rels/.rels"))) {
            ReadXml(QStringLiteral("_rels/.rels"), m_zip.Read(QStringLiteral("_rels/.rels")), [&](QXmlStreamReader &xml) {
                if (xml.name() == QLatin1String("Relationship")
                    && xml.attributes().value(QLatin1String("Type")).endsWith(QLatin1String("/officeDocument")))
                    workbook = Resolve(QString(), xml.attributes().value(QLatin1String("Target")).toString());
            });
        }
        const QString folder = workbook.left(workbook.lastIndexOf(QLatin1Char('/')) + 1);
        QList<std::pair<QString, QString>> sheetIds;  // name, relationship id
        ReadXml(workbook, m_zip.Read(workbook), [&](QXmlStreamReader &xml) {
            const auto attributes = xml.attributes();
            if (xml.name() == QLatin1String("sheet")) {
                QString id;
                for (const auto &attribute : attributes)
                    if (attribute.name() == QLatin1String("id")) id = attribute.value().toString();
                sheetIds.append({attributes.value(QLatin1String("name")).toString(), id});
            } else if (xml.name() == QLatin1String("workbookPr")) {
                const auto value = attributes.value(QLatin1String("date1904"));
                m_1904 = value == QLatin1String("1") || value == QLatin1String("true");
            }
        });
        QHash<QString, QString> targets;
        QString sharedStrings = folder + QStringLiteral("sharedStrings.xml"), styles = folder + QStringLiteral("styles.xml");
        const QString rels = folder + QStringLiteral("_rels/") + workbook.mid(folder.size()) + QStringLiteral(".rels");
        ReadXml(rels, m_zip.Read(rels), [&](QXmlStreamReader &xml) {
            if (xml.name() != QLatin1String("Relationship")) return;
            const auto attributes = xml.attributes();
            const QString target = Resolve(folder, attributes.value(QLatin1String("Target")).toString());
            const auto type = attributes.value(QLatin1String("Type"));
            targets.insert(attributes.value(QLatin1String("Id")).toString(), target);
            if (type.endsWith(QLatin1String("/sharedStrings"))) sharedStrings = target;
            if (type.endsWith(QLatin1String("/styles"))) styles = target;
        });
        if (sheetIds.isEmpty()) throw ReadError(QStringLiteral("%1: the workbook lists no sheet.").arg(workbook));
        int index = 0;
        if (!sheet.isEmpty()) {
            index = -1;
            for (int i = 0; i < sheetIds.size(); ++i)
                if (sheetIds[i].first == sheet) index = i;
            if (index < 0) throw ReadError(QStringLiteral("The workbook has no sheet named “%1”.").arg(sheet));
        }
        if (sheets) {
            sheets->clear();
            for (const auto &entry : sheetIds) *sheets << entry.first;
        }
        if (chosen) *chosen = sheetIds[index].first;
        m_part = targets.value(sheetIds[index].second);
        if (m_part.isEmpty()) throw ReadError(QStringLiteral("%1: the sheet “%2” points to no part.").arg(rels, sheetIds[index].first));

        if (m_zip.Has(sharedStrings)) {
            ReadXml(sharedStrings, m_zip.Read(sharedStrings), [&](QXmlStreamReader &xml) {
                if (xml.name() == QLatin1String("si")) m_strings << StringItem(xml);
            });
        }
        if (m_zip.Has(styles)) ReadStyles(styles);
        m_file = m_zip.Open(m_part, &m_size);
    }
    ~XlsxSource() override
    {
        if (m_file) zip_fclose(m_file);
    }

    bool Next(TableRow &row) override
    {
        for (;;) {
            const auto token = m_xml.readNext();
            if (m_xml.hasError()) {
                if (m_xml.error() == QXmlStreamReader::PrematureEndOfDocumentError && Feed()) continue;
                XmlFailed(m_part, m_xml);
            }
            if (token == QXmlStreamReader::EndDocument) return false;
            if (token == QXmlStreamReader::StartElement) {
                const auto name = m_xml.name();
                if (name == QLatin1String("row")) {
                    bool ok = false;
                    const int number = m_xml.attributes().value(QLatin1String("r")).toInt(&ok);
                    m_row = ok ? number : m_row + 1;
                    m_column = -1;
                    m_cells.clear();
                } else if (name == QLatin1String("c")) {
                    const auto attributes = m_xml.attributes();
                    const int column = ColumnOf(attributes.value(QLatin1String("r")).toString());
                    m_column = column >= 0 && attributes.hasAttribute(QLatin1String("r")) ? column : m_column + 1;
                    m_type = attributes.value(QLatin1String("t")).toString();
                    const int style = attributes.value(QLatin1String("s")).toInt();
                    m_dateStyle = style >= 0 && style < m_dateStyles.size() && m_dateStyles[style];
                } else if (name == QLatin1String("v")) {
                    Place(CellText(ReadText()));
                } else if (name == QLatin1String("is")) {
                    Place(InlineString());
                }
            } else if (token == QXmlStreamReader::EndElement && m_xml.name() == QLatin1String("row")) {
                bool blank = true;
                for (const QString &cell : std::as_const(m_cells))
                    if (!cell.trimmed().isEmpty()) blank = false;
                if (blank) continue;
                row.line = m_row;
                row.cells = m_cells;
                return true;
            }
        }
    }

private:
    void ReadStyles(const QString &part)
    {
        QHash<int, bool> customDates;
        bool inCellXfs = false;
        QXmlStreamReader xml(m_zip.Read(part));
        while (!xml.atEnd()) {
            const auto token = xml.readNext();
            if (token == QXmlStreamReader::StartElement) {
                const auto attributes = xml.attributes();
                if (xml.name() == QLatin1String("numFmt")) {
                    customDates.insert(attributes.value(QLatin1String("numFmtId")).toInt(),
                                       IsDateFormat(attributes.value(QLatin1String("formatCode")).toString()));
                } else if (xml.name() == QLatin1String("cellXfs")) {
                    inCellXfs = true;
                } else if (xml.name() == QLatin1String("xf") && inCellXfs) {
                    const int id = attributes.value(QLatin1String("numFmtId")).toInt();
                    // Built-in date formats; 18-21 and 45-47 show only a time of day and stay numbers.
                    const bool builtIn = (id >= 14 && id <= 17) || id == 22;
                    m_dateStyles << (customDates.contains(id) ? customDates.value(id) : builtIn);
                }
            } else if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("cellXfs")) {
                inCellXfs = false;
            }
        }
        if (xml.hasError()) XmlFailed(part, xml);
    }

    bool Feed()
    {
        if (!m_file) return false;
        QByteArray chunk(1 << 16, Qt::Uninitialized);
        const zip_int64_t got = zip_fread(m_file, chunk.data(), zip_uint64_t(chunk.size()));
        if (got < 0) throw ReadError(QStringLiteral("%1: the part is damaged and cannot be unpacked.").arg(m_part));
        if (got == 0) {
            zip_fclose(m_file);
            m_file = nullptr;
            return false;
        }
        m_done += got;
        chunk.truncate(got);
        m_xml.addData(chunk);
        if (m_progress && !m_progress(m_done, m_size)) throw Cancelled();
        return true;
    }

    // readElementText for a reader that may run out of data in the middle of the element.
    QString ReadText()
    {
        QString text;
        for (;;) {
            const auto token = m_xml.readNext();
            if (m_xml.hasError()) {
                if (m_xml.error() == QXmlStreamReader::PrematureEndOfDocumentError && Feed()) continue;
                XmlFailed(m_part, m_xml);
            }
            if (token == QXmlStreamReader::Characters || token == QXmlStreamReader::EntityReference) text += m_xml.text();
            if (token == QXmlStreamReader::EndElement) return text;
        }
    }

    QString InlineString()
    {
        QString text;
        int depth = 1, phonetic = 0;
        while (depth > 0) {
            const auto token = m_xml.readNext();
            if (m_xml.hasError()) {
                if (m_xml.error() == QXmlStreamReader::PrematureEndOfDocumentError && Feed()) continue;
                XmlFailed(m_part, m_xml);
            }
            if (token == QXmlStreamReader::StartElement) {
                ++depth;
                if (m_xml.name() == QLatin1String("rPh")) ++phonetic;
                else if (m_xml.name() == QLatin1String("t") && !phonetic) text += ReadText(), --depth;
            } else if (token == QXmlStreamReader::EndElement) {
                --depth;
                if (m_xml.name() == QLatin1String("rPh")) --phonetic;
            }
        }
        return text;
    }

    QString CellText(const QString &value) const
    {
        if (m_type == QLatin1String("s")) {
            bool ok = false;
            const int index = value.trimmed().toInt(&ok);
            if (!ok || index < 0 || index >= m_strings.size())
                throw ReadError(QStringLiteral("%1, line %2: the cell refers to shared string %3, which does not exist.")
                                    .arg(m_part).arg(m_xml.lineNumber()).arg(value));
            return m_strings[index];
        }
        if (m_type == QLatin1String("b")) return value.trimmed() == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        if (m_type == QLatin1String("str") || m_type == QLatin1String("e") || m_type == QLatin1String("inlineStr"))
            return value;
        bool ok = false;
        const double number = value.trimmed().toDouble(&ok);
        if (!ok) return value;
        return m_dateStyle ? SerialDate(number, m_1904) : NumberText(number);
    }

    void Place(const QString &text)
    {
        if (m_column < 0 || m_column >= 16384) return;
        while (m_cells.size() <= m_column) m_cells << QString();
        m_cells[m_column] = text;
    }

    Zip m_zip;
    Progress m_progress;
    QString m_part;
    zip_file_t *m_file = nullptr;
    qint64 m_size = 0, m_done = 0;
    QXmlStreamReader m_xml;
    QStringList m_strings;
    QList<bool> m_dateStyles;
    bool m_1904 = false;
    int m_row = 0, m_column = -1;
    QString m_type;
    bool m_dateStyle = false;
    QStringList m_cells;
};

class XlsSource : public RowSource {
public:
    XlsSource(const QString &path, const QString &sheet, QStringList *sheets, QString *chosen)
    {
        const int opened = freexl_open(QFile::encodeName(path).constData(), &m_handle);
        if (opened != FREEXL_OK) {
            if (m_handle) freexl_close(m_handle);
            m_handle = nullptr;
            throw ReadError(QStringLiteral("The file is not a readable Excel 97-2003 workbook (FreeXL error %1).").arg(opened));
        }
        unsigned int count = 0;
        freexl_get_info(m_handle, FREEXL_BIFF_SHEET_COUNT, &count);
        QStringList names;
        for (unsigned short i = 0; i < count; ++i) {
            const char *name = nullptr;
            freexl_get_worksheet_name(m_handle, i, &name);
            names << QString::fromUtf8(name ? name : "");
        }
        if (names.isEmpty()) throw ReadError(QStringLiteral("The workbook holds no sheet."));
        const qsizetype index = sheet.isEmpty() ? 0 : names.indexOf(sheet);
        if (index < 0) throw ReadError(QStringLiteral("The workbook has no sheet named “%1”.").arg(sheet));
        if (sheets) *sheets = names;
        if (chosen) *chosen = names[index];
        if (freexl_select_active_worksheet(m_handle, static_cast<unsigned short>(index)) != FREEXL_OK
            || freexl_worksheet_dimensions(m_handle, &m_rows, &m_columns) != FREEXL_OK)
            throw ReadError(QStringLiteral("The sheet “%1” cannot be read.").arg(names[index]));
    }
    ~XlsSource() override
    {
        if (m_handle) freexl_close(m_handle);
    }
    bool Next(TableRow &row) override
    {
        while (m_next < m_rows) {
            const unsigned int r = m_next++;
            QStringList cells;
            bool blank = true;
            for (unsigned short c = 0; c < m_columns; ++c) {
                FreeXL_CellValue value;
                QString text;
                if (freexl_get_cell_value(m_handle, r, c, &value) == FREEXL_OK) {
                    switch (value.type) {
                    case FREEXL_CELL_INT: text = QString::number(value.value.int_value); break;
                    case FREEXL_CELL_DOUBLE: text = NumberText(value.value.double_value); break;
                    case FREEXL_CELL_DATETIME: text = QString::fromUtf8(value.value.text_value).left(10); break;
                    case FREEXL_CELL_TEXT:
                    case FREEXL_CELL_SST_TEXT:
                    case FREEXL_CELL_DATE:
                    case FREEXL_CELL_TIME: text = QString::fromUtf8(value.value.text_value); break;
                    default: break;
                    }
                }
                if (!text.trimmed().isEmpty()) blank = false;
                cells << text;
            }
            if (blank) continue;
            row.line = int(r) + 1;
            row.cells = cells;
            return true;
        }
        return false;
    }
private:
    const void *m_handle = nullptr;
    unsigned int m_rows = 0, m_next = 0;
    unsigned short m_columns = 0;
};

}  // namespace

std::unique_ptr<RowSource> OpenWorkbook(const QString &path, Format format, const QString &sheet, QStringList *sheets,
                                        QString *chosen, const Progress &progress)
{
    if (format == Format::Xls) return std::make_unique<XlsSource>(path, sheet, sheets, chosen);
    return std::make_unique<XlsxSource>(path, sheet, sheets, chosen, progress);
}

}  // namespace import::detail
