#include "ledger/LedgerReport.h"

bool PrintLedger(qint32, QWidget *) { return false; }
bool SaveLedgerPdf(qint32, QWidget *) { return false; }
