// Stand-ins until the table readers are written.
#include "import/Tabular.h"

namespace import {
QString TabularMapping::ToText() const { return {}; }
std::optional<TabularMapping> TabularMapping::FromText(const QString &) { return std::nullopt; }
TabularSample SampleTable(const QString &, Format, int, const QString &, QChar, const QString &)
{
    throw ReadError(NotAStatementMessage());
}
MappingProposal ProposeMapping(const TabularSample &) { return {}; }
QString TableShape(const TabularSample &, const TabularMapping &) { return {}; }
void ReadTable(const QString &, Format, const TabularMapping &, const LineSink &, const Progress &)
{
    throw ReadError(NotAStatementMessage());
}
std::optional<double> ParseAmount(const QString &, QChar) { return std::nullopt; }
QList<QChar> DecimalMarksFor(const QStringList &) { return {}; }
QStringList DateFormatsFor(const QStringList &) { return {}; }
}  // namespace import
