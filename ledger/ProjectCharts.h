#pragma once
// The overview's charts, built from figures read from the database. The printed ledger draws the
// same two charts of its project.
#include "ledger/ProjectFigures.h"

#include <QtCharts/QChart>

// Planned against spent, as horizontal bars: the 20 projects with the largest planned cost, the
// rest summed as "Others".
QChart *MakePlannedSpentChart(const std::vector<ProjectFigures> &projects);
// A project's running balance by date, as a line.
QChart *MakeBalanceChart(const std::vector<BalancePoint> &points);
// What a project spent by head, as bars, largest first.
QChart *MakeSpendingChart(const std::vector<HeadSpending> &heads);
