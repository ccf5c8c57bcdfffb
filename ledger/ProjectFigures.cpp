#include "ledger/ProjectFigures.h"

std::vector<ProjectFigures> LoadProjectFigures(const QString &, qint32) { return {}; }
std::vector<BalancePoint> LoadRunningBalance(const QString &, qint32) { return {}; }
std::vector<HeadSpending> LoadSpendingByHead(const QString &, qint32) { return {}; }
