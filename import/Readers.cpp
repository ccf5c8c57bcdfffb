#include "import/Readers.h"

#include <QCryptographicHash>
#include <QHash>

namespace import {

QByteArray Fingerprint(const StatementLine &line, int occurrence)
{
    // The fields a bank repeats unchanged in every statement that holds the booking; the line
    // number is left out because it differs between overlapping files.
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(line.date.toString(Qt::ISODate).toUtf8());
    hash.addData(QByteArrayView("\x1f"));
    hash.addData(QByteArray::number(line.amount, 'f', 4));
    hash.addData(QByteArrayView("\x1f"));
    hash.addData(line.remarks.simplified().toUtf8());
    hash.addData(QByteArrayView("\x1f"));
    hash.addData(line.bankId.toUtf8());
    hash.addData(QByteArrayView("\x1f"));
    hash.addData(QByteArray::number(occurrence));
    return hash.result();
}

void ReadStatement(const QString &path, Format format, const TabularMapping *mapping, const LineSink &sink,
                   const Progress &progress)
{
    QHash<QByteArray, int> seen;  // how often each line's content came so far
    const LineSink fingerprinted = [&](StatementLine &&line) {
        const QByteArray content = Fingerprint(line, 0);
        line.fingerprint = Fingerprint(line, seen[content]++);
        sink(std::move(line));
    };
    switch (format) {
    case Format::Ofx: return ReadOfx(path, fingerprinted, progress);
    case Format::Qif: return ReadQif(path, fingerprinted, progress);
    case Format::Camt053: return ReadCamt053(path, fingerprinted, progress);
    case Format::Mt940: return ReadMt940(path, fingerprinted, progress);
    case Format::Csv:
    case Format::Xlsx:
    case Format::Xls:
        if (!mapping)
            throw ReadError(QStringLiteral("A table needs its columns mapped before it can be read."));
        return ReadTable(path, format, *mapping, fingerprinted, progress);
    case Format::Unknown: break;
    }
    throw ReadError(NotAStatementMessage());
}

}  // namespace import
