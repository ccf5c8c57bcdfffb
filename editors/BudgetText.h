#pragma once
// How a project's plan by heads is put in words, in the project editor and on the ledger window.
#include "data/Budgets.h"

#include <QString>

// Which revision of the plan is current: "Baseline of 07/12/2026 by ann", "Revision 2 of
// 08/12/2026 by ann", or "Not planned yet" when the project was never planned.
QString RevisionText(const std::vector<BudgetRevision> &revisions);

// The note beside the planned cost when the heads' plans add up to another amount: "The heads'
// plans add up to 3,200.00, 200.00 more than the planned cost." Empty when nothing is planned,
// when the two agree to the cent, or when the planned cost is no number.
QString PlanSumNote(bool anyPlanned, double sum, bool costKnown, double cost);

// The chosen head's line on the ledger window: "Planned 3,000.00 · spent 1,200.00 · left
// 1,800.00", or "Not planned" when the head has no plan in the project.
QString HeadBudgetLine(const HeadStanding &standing);

// Reads a planned amount as typed: a finite number of 0 or more (at most 10^15, so that no sum
// overflows what the program shows). Empty text is no plan. Answers false when the text is
// neither.
bool ReadPlanned(const QString &text, std::optional<double> *planned);
