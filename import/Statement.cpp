#include "import/Statement.h"

#include <QCryptographicHash>
#include <QFile>

namespace import {

QString FormatName(Format format)
{
    switch (format) {
    case Format::Csv: return QStringLiteral("CSV");
    case Format::Xlsx: return QStringLiteral("Excel workbook");
    case Format::Xls: return QStringLiteral("Excel 97-2003 workbook");
    case Format::Ofx: return QStringLiteral("OFX");
    case Format::Qif: return QStringLiteral("QIF");
    case Format::Camt053: return QStringLiteral("CAMT.053");
    case Format::Mt940: return QStringLiteral("MT940");
    case Format::Unknown: break;
    }
    return QStringLiteral("unknown");
}

QString NotAStatementMessage()
{
    return QStringLiteral("This file is not a statement Quillmark can read (CSV, Excel, OFX, QFX, QIF, CAMT.053, MT940).");
}

QByteArray FileSha256(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return {};
    return hash.result();
}

}  // namespace import
