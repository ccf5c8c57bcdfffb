// Stand-ins until the readers of the fixed layouts are written.
#include "import/Readers.h"

namespace import {
Format DetectFormat(const QString &) { return Format::Unknown; }
void ReadOfx(const QString &, const LineSink &, const Progress &) { throw ReadError(NotAStatementMessage()); }
void ReadQif(const QString &, const LineSink &, const Progress &) { throw ReadError(NotAStatementMessage()); }
void ReadCamt053(const QString &, const LineSink &, const Progress &) { throw ReadError(NotAStatementMessage()); }
void ReadMt940(const QString &, const LineSink &, const Progress &) { throw ReadError(NotAStatementMessage()); }
}  // namespace import
