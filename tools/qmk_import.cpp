// qmk-import --dry-run FILE: reads a bank statement of any kind Quillmark imports and prints its
// bookings as CSV (date, amount, remarks, bank_id), one row per booking in the file's order,
// without opening any database. Lines that cannot be imported go to stderr with their reason.
#include "import/Readers.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: qmk-import --dry-run FILE\n"
                 "Reads a bank statement (CSV, Excel, OFX, QFX, QIF, CAMT.053, MT940) and prints its bookings\n"
                 "as CSV: date,amount,remarks,bank_id. A booking that cannot be read is reported on stderr\n"
                 "with its line; the others are printed. Exits 2 for a file that cannot be read.\n");
    return 2;
}

// A CSV field as RFC 4180 writes it: quoted when it holds a comma, a quote or a line break.
QByteArray CsvField(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.contains(',') || bytes.contains('"') || bytes.contains('\n') || bytes.contains('\r')) {
        bytes.replace("\"", "\"\"");
        bytes = '"' + bytes + '"';
    }
    return bytes;
}

// Two decimals, or as many as the amount has (up to six), with a point and no grouping.
QByteArray Amount(double amount)
{
    QByteArray text = QByteArray::number(amount, 'f', 6);
    while (text.endsWith('0') && text.indexOf('.') < text.size() - 3)
        text.chop(1);
    return text == "-0.00" ? QByteArray("0.00") : text;
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    bool dryRun = false;
    QString path;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == QLatin1String("--dry-run")) {
            dryRun = true;
        } else if (arg == QLatin1String("--profile")) {
            std::fprintf(stderr, "qmk-import: --profile needs a database; not yet.\n");
            return 2;
        } else if (arg.startsWith(QLatin1String("-")) || !path.isEmpty()) {
            return Usage();
        } else {
            path = arg;
        }
    }
    if (!dryRun || path.isEmpty())
        return Usage();

    try {
        const import::Format format = import::DetectFormat(path);
        if (format == import::Format::Unknown)
            throw import::ReadError(import::NotAStatementMessage());
        std::optional<import::TabularMapping> mapping;
        if (format == import::Format::Csv || format == import::Format::Xlsx || format == import::Format::Xls) {
            const import::MappingProposal proposal = import::ProposeMapping(import::SampleTable(path, format));
            if (!proposal.missing.isEmpty())
                throw import::ReadError(proposal.missing);
            mapping = proposal.mapping;
        }
        std::fputs("date,amount,remarks,bank_id\n", stdout);
        import::ReadStatement(path, format, mapping ? &*mapping : nullptr, [](import::StatementLine &&line) {
            if (!line.error.isEmpty()) {
                // The readers' reasons name the line; a reason without one gets it here.
                const bool named = line.error.startsWith(QLatin1String("Line ")) || line.error.contains(QLatin1String("(line "));
                const QString text = named ? line.error : QStringLiteral("Line %1: %2").arg(line.line).arg(line.error);
                std::fprintf(stderr, "qmk-import: not imported: %s\n", text.toUtf8().constData());
                return;
            }
            const QByteArray row = line.date.toString(Qt::ISODate).toUtf8() + ',' + Amount(line.amount) + ','
                                   + CsvField(line.remarks) + ',' + CsvField(line.bankId) + '\n';
            std::fwrite(row.constData(), 1, size_t(row.size()), stdout);
        });
    } catch (const import::ReadError &error) {
        std::fflush(stdout);
        std::fprintf(stderr, "qmk-import: %s: %s\n", path.toLocal8Bit().constData(), error.message().toUtf8().constData());
        return 2;
    }
    return 0;
}
