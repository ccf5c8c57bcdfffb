#include "ledger/ProjectCharts.h"

QChart *MakePlannedSpentChart(const std::vector<ProjectFigures> &) { return new QChart(); }
QChart *MakeBalanceChart(const std::vector<BalancePoint> &) { return new QChart(); }
QChart *MakeSpendingChart(const std::vector<HeadSpending> &) { return new QChart(); }
