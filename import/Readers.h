#pragma once
// Reading a statement file of any kind the importer knows.
#include "import/Statement.h"
#include "import/Tabular.h"

namespace import {

// The kind of statement a file holds, told from its content (its name only breaks a tie).
// Unknown for a file that is no statement. Throws ReadError when the file cannot be opened.
Format DetectFormat(const QString &path);

// Reads a whole statement. A CSV file or workbook is read through the mapping (required for
// them). Every line gets its fingerprint here. Throws ReadError (with NotAStatementMessage()
// for a file of no known kind), Cancelled.
void ReadStatement(const QString &path, Format format, const TabularMapping *mapping, const LineSink &sink,
                   const Progress &progress = {});

// The readers of the fixed layouts, one per format. Each throws ReadError for a damaged file,
// naming the line or element, and gives an error line for a booking it cannot read.
void ReadOfx(const QString &path, const LineSink &sink, const Progress &progress);
void ReadQif(const QString &path, const LineSink &sink, const Progress &progress);
void ReadCamt053(const QString &path, const LineSink &sink, const Progress &progress);
void ReadMt940(const QString &path, const LineSink &sink, const Progress &progress);

// The fingerprint of a line (see StatementLine::fingerprint): occurrence counts how many lines
// with the same date, amount, remarks and bank id came before it in the file.
QByteArray Fingerprint(const StatementLine &line, int occurrence);

}  // namespace import
