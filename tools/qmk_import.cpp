// qmk-import: bank statements from a terminal.
//   qmk-import --dry-run [--profile NAME --user NAME] FILE reads a statement of any kind Quillmark
//   imports and prints its bookings as CSV (date, amount, remarks, bank_id), one row per booking in
//   the file's order, without opening any database (unless a saved mapping is named, which lives in
//   the user's database). Lines that cannot be imported go to stderr with their reason.
//   qmk-import --user NAME --project ID [--server CONNINFO] FILE imports it into the user's project.
#include "data/MyFun.h"
#include "import/Readers.h"
#include "tools/ImportCommand.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: qmk-import --dry-run [--profile NAME --user NAME [--server CONNINFO]] FILE\n"
                 "       qmk-import --user NAME --project ID [--server CONNINFO | --database FILE]\n"
                 "                  [--password-file FILE] [--profile NAME] [--head NAME] FILE\n"
                 "Reads a bank statement (CSV, Excel, OFX, QFX, QIF, CAMT.053, MT940). With --dry-run it prints\n"
                 "its bookings as CSV: date,amount,remarks,bank_id; a booking that cannot be read is reported on\n"
                 "stderr with its line, the others are printed. Otherwise it imports them into the user's\n"
                 "project, headed by the user's rules, skipping what is already there. Exits 2 for a file that\n"
                 "cannot be read, 1 when nothing could be imported.\n");
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
    ImportCommand command;
    QString project;
    const QStringList valued = {QStringLiteral("--user"), QStringLiteral("--project"), QStringLiteral("--server"),
                                QStringLiteral("--database"), QStringLiteral("--password-file"),
                                QStringLiteral("--profile"), QStringLiteral("--head")};
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == QLatin1String("--dry-run")) {
            dryRun = true;
        } else if (valued.contains(arg)) {
            if (i + 1 >= args.size())
                return Usage();
            const QString value = args[++i];
            QString *slot = arg == QLatin1String("--user") ? &command.user
                            : arg == QLatin1String("--project") ? &project
                            : arg == QLatin1String("--server") ? &command.server
                            : arg == QLatin1String("--database") ? &command.database
                            : arg == QLatin1String("--password-file") ? &command.passwordFile
                            : arg == QLatin1String("--profile") ? &command.profile
                                                                : &command.head;
            *slot = value;
        } else if (arg.startsWith(QLatin1String("-")) || !command.file.isEmpty()) {
            return Usage();
        } else {
            command.file = arg;
        }
    }
    if (command.file.isEmpty())
        return Usage();
    const QString &path = command.file;
    if (!dryRun) {
        bool number = false;
        command.project = project.toInt(&number);
        if (command.user.isEmpty() || !number || command.project <= 0) {
            std::fprintf(stderr, "qmk-import: an import needs --user NAME and --project ID (or --dry-run).\n");
            return 2;
        }
        const int status = RunImport(command);
        ResetProcessState();
        return status;
    }
    if (!command.profile.isEmpty() && command.user.isEmpty()) {
        std::fprintf(stderr, "qmk-import: --profile needs --user NAME: mappings are kept in the user's database.\n");
        return 2;
    }

    try {
        const import::Format format = import::DetectFormat(path);
        if (format == import::Format::Unknown)
            throw import::ReadError(import::NotAStatementMessage());
        std::optional<import::TabularMapping> mapping;
        if (format == import::Format::Csv || format == import::Format::Xlsx || format == import::Format::Xls) {
            if (!command.profile.isEmpty()) {
                const bool in = LogIn(command);
                mapping = in ? SavedMapping(command.profile) : std::nullopt;
                ResetProcessState();
                if (!mapping)
                    return 2;
            } else {
                const import::MappingProposal proposal = import::ProposeMapping(import::SampleTable(path, format));
                if (!proposal.missing.isEmpty())
                    throw import::ReadError(proposal.missing);
                mapping = proposal.mapping;
            }
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
