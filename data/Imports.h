#pragma once
// Imported entries in the database: the batches a user imported into a project, the bank ids and
// fingerprints of their lines (so a second statement that overlaps the first is recognised), the
// user's rules that choose a head from the remarks, and the user's saved table mappings. Works on
// the process-wide connection, on either engine, as the logged-in user.
#include "import/Statement.h"
#include "import/Tabular.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <vector>

namespace import {

enum class LineStatus { New, AlreadyImported, PossibleDuplicate, Error };

// A statement line as the import preview shows and the writer stores it.
struct PreviewRow {
    StatementLine line;
    LineStatus status = LineStatus::New;
    std::int32_t duplicateOf = 0;   // the entry a possible duplicate looks like
    std::int32_t headId = 0;        // 0: no head yet
    bool headSuggested = false;     // the head came from the user's history, not from a rule
    bool ticked = false;
};

// Reads a whole statement (a table through its mapping) into rows for the preview, in the file's
// order. Throws ReadError, Cancelled.
std::vector<PreviewRow> ReadRows(const QString &path, Format format, const TabularMapping *mapping,
                                 const Progress &progress = {});

// Gives each row its status and tick: errors; lines whose bank id or fingerprint an earlier
// import into the project already holds; possible duplicates of the project's entries (same
// amount, date within 3 days, similar remarks; each stored entry answers for one line only, so
// three equal lines against two stored leave one new). New lines are ticked.
void Classify(std::vector<PreviewRow> &rows, std::int32_t taskId);

// A rule of the user: remarks that contain the text (in any letter case) take the head. The
// first rule that matches wins.
struct HeadRule {
    QString contains;
    std::int32_t headId = 0;
};
std::vector<HeadRule> LoadRules();
void SaveRules(const std::vector<HeadRule> &rules);  // replaces the user's rules, in this order
// Sets the head of every row without one: by the first matching rule, else (as a suggestion) the
// head the user most often gave entries with the same payee or first words.
void ApplyHeads(std::vector<PreviewRow> &rows, const std::vector<HeadRule> &rules);

// A saved table mapping of the user (see TabularMapping::ToText), found again by the table's shape.
struct Profile {
    QString name;
    QString shape;
    QString mapping;
};
std::vector<Profile> LoadProfiles();
// The mapping a profile keeps for tables of this shape; nothing when none of them does.
std::optional<TabularMapping> MappingForShape(const std::vector<Profile> &profiles, const QString &shape);
void SaveProfile(const Profile &profile);  // replaces the user's profile of the same name

struct BatchInfo {
    std::int32_t id = 0;
    QString fileName;
    QByteArray sha256;
    QDateTime importedAt;
    int count = 0;       // entries written
    int remaining = 0;   // of them still in the ledger
};
std::vector<BatchInfo> ListBatches(std::int32_t taskId);

// Writes the ticked rows as entries of the project in one transaction, their keys taken together
// under the allocator's lock, and records the batch. Money in under an expense head is stored as
// a negative amount spent, money out under an income head as a negative amount received. A
// failure writes nothing and is thrown (SqlError, DatabaseBusy). Answers the batch's id.
std::int32_t WriteBatch(std::int32_t taskId, const QString &fileName, const QByteArray &sha256,
                        const std::vector<PreviewRow> &rows);
// How many entries of the batch were changed since the import (date, head, amount, remarks).
int EditedSince(std::int32_t batchId);
// Removes the batch's entries still in the ledger, and the batch, in one transaction.
void UndoBatch(std::int32_t batchId);

}  // namespace import
