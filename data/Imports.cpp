#include "data/Imports.h"

#include "import/Readers.h"

#include "data/MyFun.h"
#include "data/PgEngine.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>

namespace import {

namespace {

// Rows of a multi-row INSERT: few enough statements that the round trips and parsing cost little
// (measured best at a few hundred), and texts of bounded size however long the remarks are.
constexpr int kRowsPerInsert = 500;
constexpr int kMaxStatementChars = 200000;
// How far apart the dates of a line and an entry that looks like it may be.
constexpr int kDuplicateDays = 3;

QString me() { return QuoteSql(CurrentUserId); }

// The server's own key function takes a whole range at once; the file takes its largest key under
// the write lock that the transaction already holds.
PgEngine *server() { return dynamic_cast<PgEngine *>(SharedConnection.Engine()); }

// A remark kept on one line, as the ledger shows it: line breaks (and the NULs no engine stores)
// become blanks; everything else stays as the file had it.
QString oneLine(const QString &remarks)
{
    QString out = remarks;
    for (QChar &c : out)
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0) || c == QChar(0x2028) ||
            c == QChar(0x2029))
            c = QLatin1Char(' ');
    return out;
}

// The remark as it is stored: one line, a blank remark as one blank (as the entry editor saves it).
QString storedRemarks(const QString &remarks)
{
    const QString line = oneLine(remarks);
    return IsBlank(line) ? QStringLiteral(" ") : line;
}

// An amount in cents, so that equal amounts compare equal whatever their binary form.
std::int64_t cents(double amount) { return std::llround(amount * 100.0); }

// The two columns an amount goes to under a head: income heads (PlusMinus 0) take the bank's signed
// amount as received, expense heads take its negation as spent, so the balance (received less
// spent) always moves by the bank's amount.
void amountsFor(double amount, bool income, double *in, double *out)
{
    *in = income ? amount : 0.0;
    *out = income ? 0.0 : -amount;
    if (*out == 0.0)
        *out = 0.0;  // never a negative zero
}

// What an entry held when it was written, compared later to see whether it was edited.
QString stamp(const QDate &date, qint64 headId, double in, double out, const QString &remarks)
{
    return QStringLiteral("%1|%2|%3|%4|%5")
        .arg(date.toString(Qt::ISODate))
        .arg(headId)
        .arg(FormatNumber(in), FormatNumber(out), remarks);
}

QString dateLiteral(const QDate &date) { return QLatin1Char('\'') + date.toString(Qt::ISODate) + QLatin1Char('\''); }

// Words of a remark in small letters, blanks made single.
QStringList words(const QString &remarks) { return remarks.toLower().simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts); }

// Two remarks look alike when either is blank, one holds the other, or they start with the same
// word (in any letter case): a bank shortens or extends the text of the same booking, but the payee
// usually leads.
bool similar(const QString &a, const QString &b)
{
    const QString x = a.toLower().simplified(), y = b.toLower().simplified();
    if (x.isEmpty() || y.isEmpty() || x.contains(y) || y.contains(x))
        return true;
    return x.section(QLatin1Char(' '), 0, 0) == y.section(QLatin1Char(' '), 0, 0);
}

// The payee of a remark, as far as it can be told: its first two words.
QString payeeOf(const QString &remarks) { return words(remarks).mid(0, 2).join(QLatin1Char(' ')); }

bool writable(const PreviewRow &r) { return r.line.error.isEmpty() && r.line.date.isValid() && std::isfinite(r.line.amount); }

// Runs inserts of many rows, kRowsPerInsert at a time.
void insertRows(const QString &head, const QStringList &values)
{
    for (int i = 0; i < values.size(); i += kRowsPerInsert)
        SharedConnection.Execute(head + values.mid(i, kRowsPerInsert).join(QLatin1Char(',')));
}

// The user's heads and whether each is an income head.
QHash<qint64, bool> headsOfUser()
{
    QHash<qint64, bool> heads;
    for (auto rs = SharedConnection.Execute(QStringLiteral("Select Id, PlusMinus From defHeads Where UserId=") + me());
         !rs->Eof(); rs->MoveNext()) {
        const Variant pm = rs->Fields(1);
        heads.insert(rs->Fields(0).toInt64(), !pm.isNull() && pm.toDouble() == 0.0);
    }
    return heads;
}

// The project of a batch of the user's; 0 when the user has no such batch.
qint64 taskOfBatch(std::int32_t batchId)
{
    const auto rs = SharedConnection.Execute(QStringLiteral("Select TaskID From tblImportBatches Where Id=%1 And UserId=%2")
                                                 .arg(batchId).arg(me()));
    return rs->Eof() ? 0 : rs->Fields(0).toInt64();
}

// The batch's entries still in its project: their key, values and the stamp written with them.
struct Remaining {
    qint64 id;
    QString now, then;
};
std::vector<Remaining> remainingOf(std::int32_t batchId, qint64 taskId)
{
    std::vector<Remaining> out;
    const auto rs = SharedConnection.Execute(
        QStringLiteral("Select t.Id, t.TransactionDate, t.HeadId, t.AmountIn, t.AmountOut, t.Remarks, e.Stamp "
                       "From tblImportedEntries e Inner Join tblTransaction t On t.Id = e.ActionId "
                       "Where e.BatchId=%1 And e.UserId=%2 And t.UserId=%2 And t.TaskID=%3")
            .arg(batchId).arg(me()).arg(taskId));
    for (; !rs->Eof(); rs->MoveNext())
        out.push_back({rs->Fields(0).toInt64(),
                       stamp(rs->Fields(1).toDate(), rs->Fields(2).toInt64(), rs->Fields(3).toDouble(),
                             rs->Fields(4).toDouble(), rs->Fields(5).toString()),
                       rs->Fields(6).toString()});
    return out;
}

}  // namespace

void Classify(std::vector<PreviewRow> &rows, std::int32_t taskId)
{
    // What earlier imports into the project hold, and the entry each wrote.
    QHash<QString, qint64> byBankId, byFingerprint;
    for (auto rs = SharedConnection.Execute(
             QStringLiteral("Select e.BankId, e.Fingerprint, e.ActionId From tblImportedEntries e Inner Join "
                            "tblImportBatches b On b.Id = e.BatchId Where b.TaskID=%1 And b.UserId=%2 And e.UserId=%2")
                 .arg(taskId).arg(me()));
         !rs->Eof(); rs->MoveNext()) {
        const QString bankId = rs->Fields(0).toString(), fingerprint = rs->Fields(1).toString();
        if (!IsBlank(bankId))
            byBankId.insert(bankId, rs->Fields(2).toInt64());
        if (!fingerprint.isEmpty())
            byFingerprint.insert(fingerprint, rs->Fields(2).toInt64());
    }

    QDate first, last;
    for (const PreviewRow &r : rows)
        if (writable(r)) {
            first = first.isValid() ? std::min(first, r.line.date) : r.line.date;
            last = last.isValid() ? std::max(last, r.line.date) : r.line.date;
        }

    // The project's entries that a line may repeat: those of the file's dates, give or take the window.
    struct Stored {
        qint64 id;
        QDate date;
        QString remarks;
        bool used = false;
    };
    std::vector<Stored> stored;
    std::unordered_map<std::int64_t, std::vector<size_t>> byAmount;
    std::unordered_map<qint64, size_t> byId;
    if (first.isValid()) {
        const auto rs = SharedConnection.Execute(
            QStringLiteral("Select Id, TransactionDate, AmountIn, AmountOut, Remarks From tblTransaction Where "
                           "TaskID=%1 And UserId=%2 And TransactionDate >= %3 And TransactionDate <= %4 Order by Id")
                .arg(taskId).arg(me(), dateLiteral(first.addDays(-kDuplicateDays)), dateLiteral(last.addDays(kDuplicateDays))));
        const int id = rs->FieldIndex(QStringLiteral("Id")), date = rs->FieldIndex(QStringLiteral("TransactionDate")),
                  in = rs->FieldIndex(QStringLiteral("AmountIn")), out = rs->FieldIndex(QStringLiteral("AmountOut")),
                  remarks = rs->FieldIndex(QStringLiteral("Remarks"));
        stored.reserve(size_t(rs->RecordCount()));
        for (int row = 0; row < rs->RecordCount(); ++row) {
            stored.push_back({rs->FieldAt(row, id).toInt64(), rs->FieldAt(row, date).toDate(),
                              rs->FieldAt(row, remarks).toString()});
            byAmount[cents(rs->FieldAt(row, in).toDouble() - rs->FieldAt(row, out).toDouble())].push_back(stored.size() - 1);
            byId.emplace(stored.back().id, stored.size() - 1);
        }
    }
    const auto use = [&](qint64 id) {
        const auto it = byId.find(id);
        if (it != byId.end())
            stored[it->second].used = true;
    };

    // Lines already imported first: the entries they wrote answer for them, not for another line.
    for (PreviewRow &r : rows) {
        r.duplicateOf = 0;
        if (!writable(r)) {
            r.status = LineStatus::Error;
            r.ticked = false;
            if (r.line.error.isEmpty())
                r.line.error = !r.line.date.isValid() ? QStringLiteral("no valid date") : QStringLiteral("no valid amount");
            continue;
        }
        const QString fingerprint = QString::fromLatin1(r.line.fingerprint.toHex());
        const auto bank = r.line.bankId.trimmed().isEmpty() ? byBankId.cend() : byBankId.constFind(r.line.bankId);
        const auto print = fingerprint.isEmpty() ? byFingerprint.cend() : byFingerprint.constFind(fingerprint);
        if (bank != byBankId.cend() || print != byFingerprint.cend()) {
            r.status = LineStatus::AlreadyImported;
            r.ticked = false;
            use(bank != byBankId.cend() ? bank.value() : print.value());
        } else {
            r.status = LineStatus::New;
        }
    }
    // Then each new line against the entries left: the nearest date, then the lowest key.
    for (PreviewRow &r : rows) {
        if (r.status != LineStatus::New)
            continue;
        r.ticked = true;
        const auto candidates = byAmount.find(cents(r.line.amount));
        if (candidates == byAmount.end())
            continue;
        size_t best = SIZE_MAX;
        qint64 bestDays = 0;
        for (const size_t i : candidates->second) {
            const Stored &s = stored[i];
            const qint64 days = std::abs(s.date.daysTo(r.line.date));
            if (s.used || !s.date.isValid() || days > kDuplicateDays || !similar(s.remarks, oneLine(r.line.remarks)))
                continue;
            if (best == SIZE_MAX || days < bestDays) {
                best = i;
                bestDays = days;
            }
        }
        if (best != SIZE_MAX) {
            stored[best].used = true;
            r.status = LineStatus::PossibleDuplicate;
            r.duplicateOf = std::int32_t(stored[best].id);
            r.ticked = false;
        }
    }
}

std::vector<PreviewRow> ReadRows(const QString &path, Format format, const TabularMapping *mapping,
                                 const Progress &progress)
{
    std::vector<PreviewRow> rows;
    ReadStatement(path, format, mapping, [&](StatementLine &&line) {
        PreviewRow row;
        row.line = std::move(line);
        rows.push_back(std::move(row));
    }, progress);
    return rows;
}

std::vector<HeadRule> LoadRules()
{
    std::vector<HeadRule> rules;
    for (auto rs = SharedConnection.Execute(
             QStringLiteral("Select Contains, HeadId From tblImportRules Where UserId=%1 Order by Position").arg(me()));
         !rs->Eof(); rs->MoveNext())
        rules.push_back({rs->Fields(0).toString(), std::int32_t(rs->Fields(1).toInt64())});
    return rules;
}

void SaveRules(const std::vector<HeadRule> &rules)
{
    QStringList values;
    for (const HeadRule &r : rules)
        if (!r.contains.trimmed().isEmpty())
            values << QStringLiteral("(%1,%2,%3,%4)").arg(me()).arg(values.size() + 1).arg(QuoteSql(oneLine(r.contains))).arg(r.headId);
    WriteTransaction t(SharedConnection);
    SharedConnection.Execute(QStringLiteral("Delete From tblImportRules Where UserId=") + me());
    insertRows(QStringLiteral("INSERT INTO tblImportRules (UserId,Position,Contains,HeadId) VALUES "), values);
    t.Commit();
}

void ApplyHeads(std::vector<PreviewRow> &rows, const std::vector<HeadRule> &rules)
{
    const QHash<qint64, bool> heads = headsOfUser();
    // The rules whose head the user still has, their texts in small letters.
    std::vector<std::pair<QString, std::int32_t>> live;
    for (const HeadRule &r : rules)
        if (!r.contains.trimmed().isEmpty() && heads.contains(r.headId))
            live.emplace_back(r.contains.toLower(), r.headId);

    // The user's history, read only when a row is left that no rule covers: how often each head
    // was given to entries of each payee.
    std::unordered_map<QString, std::map<qint64, qint64>> history;
    bool historyRead = false;
    const auto readHistory = [&] {
        historyRead = true;
        for (auto rs = SharedConnection.Execute(QStringLiteral("Select Remarks, HeadId, count(*) From tblTransaction "
                                                               "Where UserId=%1 Group by Remarks, HeadId").arg(me()));
             !rs->Eof(); rs->MoveNext()) {
            const qint64 head = rs->Fields(1).toInt64();
            const QString payee = payeeOf(rs->Fields(0).toString());
            if (!payee.isEmpty() && heads.contains(head))
                history[payee][head] += rs->Fields(2).toInt64();
        }
    };

    for (PreviewRow &r : rows) {
        if (r.headId != 0)
            continue;
        const QString remarks = oneLine(r.line.remarks).toLower();
        const auto rule = std::find_if(live.begin(), live.end(), [&](const auto &l) { return remarks.contains(l.first); });
        if (rule != live.end()) {
            r.headId = rule->second;
            r.headSuggested = false;
            continue;
        }
        if (!historyRead)
            readHistory();
        const auto seen = history.find(payeeOf(remarks));
        if (seen == history.end())
            continue;
        // The most frequent head; on a tie, the lowest key (std::map walks keys in order).
        qint64 best = 0, count = 0;
        for (const auto &[head, n] : seen->second)
            if (n > count) {
                best = head;
                count = n;
            }
        r.headId = std::int32_t(best);
        r.headSuggested = true;
    }
}

std::optional<TabularMapping> MappingForShape(const std::vector<Profile> &profiles, const QString &shape)
{
    for (const Profile &p : profiles)
        if (p.shape == shape)
            if (auto mapping = TabularMapping::FromText(p.mapping))
                return mapping;
    return std::nullopt;
}

std::vector<Profile> LoadProfiles()
{
    std::vector<Profile> profiles;
    for (auto rs = SharedConnection.Execute(
             QStringLiteral("Select Name, Shape, Mapping From tblImportProfiles Where UserId=%1 Order by Name").arg(me()));
         !rs->Eof(); rs->MoveNext())
        profiles.push_back({rs->Fields(0).toString(), rs->Fields(1).toString(), rs->Fields(2).toString()});
    return profiles;
}

void SaveProfile(const Profile &profile)
{
    WriteTransaction t(SharedConnection);
    SharedConnection.Execute(QStringLiteral("Delete From tblImportProfiles Where UserId=%1 And Name=%2")
                                 .arg(me(), QuoteSql(profile.name)));
    SharedConnection.Execute(QStringLiteral("INSERT INTO tblImportProfiles (UserId,Name,Shape,Mapping) VALUES (%1,%2,%3,%4)")
                                 .arg(me(), QuoteSql(profile.name), QuoteSql(profile.shape), QuoteSql(profile.mapping)));
    t.Commit();
}

std::vector<BatchInfo> ListBatches(std::int32_t taskId)
{
    std::vector<BatchInfo> batches;
    for (auto rs = SharedConnection.Execute(
             QStringLiteral("Select b.Id, b.FileName, b.FileSha256, b.ImportedAt, b.EntryCount, "
                            "(Select count(*) From tblImportedEntries e Inner Join tblTransaction t On t.Id = e.ActionId "
                            "Where e.BatchId = b.Id And e.UserId=%2 And t.UserId=%2 And t.TaskID = b.TaskID) "
                            "From tblImportBatches b Where b.TaskID=%1 And b.UserId=%2 Order by b.Id Desc")
                 .arg(taskId).arg(me()));
         !rs->Eof(); rs->MoveNext()) {
        BatchInfo b;
        b.id = std::int32_t(rs->Fields(0).toInt64());
        b.fileName = rs->Fields(1).toString();
        b.sha256 = QByteArray::fromHex(rs->Fields(2).toString().toLatin1());
        b.importedAt = QDateTime::fromString(rs->Fields(3).toString(), Qt::ISODate);
        b.count = int(rs->Fields(4).toInt64());
        b.remaining = int(rs->Fields(5).toInt64());
        batches.push_back(b);
    }
    return batches;
}

std::int32_t WriteBatch(std::int32_t taskId, const QString &fileName, const QByteArray &sha256,
                        const std::vector<PreviewRow> &rows)
{
    std::vector<const PreviewRow *> chosen;
    for (const PreviewRow &r : rows)
        if (r.ticked) {
            if (!writable(r))
                throw SqlError(QStringLiteral("Line %1 cannot be imported: %2").arg(r.line.line)
                                   .arg(r.line.error.isEmpty() ? QStringLiteral("no valid date or amount") : r.line.error));
            if (r.headId == 0)
                throw SqlError(QStringLiteral("Line %1 has no head.").arg(r.line.line));
            chosen.push_back(&r);
        }

    WriteTransaction t(SharedConnection);
    if (SharedConnection.Execute(QStringLiteral("Select TaskID From tblTasks Where TaskID=%1 And UserId=%2")
                                     .arg(taskId).arg(me()))->Eof())
        throw SqlError(QStringLiteral("Project %1 is not one of yours.").arg(taskId));
    const QHash<qint64, bool> heads = headsOfUser();
    for (const PreviewRow *r : chosen)
        if (!heads.contains(r->headId))
            throw SqlError(QStringLiteral("The head of line %1 no longer exists.").arg(r->line.line));

    const int n = int(chosen.size());
    qint64 first = 0;
    if (n > 0) {
        if (server()) {
            const Variant largest = SharedConnection.Execute(
                QStringLiteral("SELECT qmk_take_keys('tbltransaction', %1)").arg(n))->Fields(0);
            first = largest.toInt64() + 1;
        } else {
            first = NextKey(QStringLiteral("tblTransaction"), QStringLiteral("Id"));
        }
        if (first + n - 1 > kLargestKey)
            throw SqlError(QStringLiteral("Overflow: tblTransaction has no %1 keys left to give (the largest is %2).")
                               .arg(n).arg(kLargestKey));
    }

    // The batch's id: the server's own (an identity column); on the file, the next key under the
    // write lock the transaction holds.
    const QString batchValues = QStringLiteral("%1,%2,%3,'%4','%5',%6)")
                                    .arg(me()).arg(taskId).arg(QuoteSql(fileName), QString::fromLatin1(sha256.toHex()),
                                                               QDateTime::currentDateTimeUtc().toString(Qt::ISODate)).arg(n);
    qint64 batchId = 0;
    if (server()) {
        batchId = SharedConnection.Execute(QStringLiteral("INSERT INTO tblImportBatches (UserId,TaskID,FileName,FileSha256,"
                                                          "ImportedAt,EntryCount) VALUES (") +
                                           batchValues + QStringLiteral(" RETURNING Id"))->Fields(0).toInt64();
    } else {
        batchId = NextKey(QStringLiteral("tblImportBatches"), QStringLiteral("Id"));
        SharedConnection.Execute(QStringLiteral("INSERT INTO tblImportBatches (Id,UserId,TaskID,FileName,FileSha256,"
                                                "ImportedAt,EntryCount) VALUES (%1,").arg(batchId) + batchValues);
    }

    // The statements are composed by appending to one text per statement: 10,000 rows of
    // composed pieces would otherwise cost as much as writing them.
    const QString user = me(), task = QString::number(taskId), batchKey = QString::number(batchId);
    QStringList entries, imported;
    entries.reserve(n / kRowsPerInsert + 1);
    imported.reserve(n / kRowsPerInsert + 1);
    QString entry, record, quoted;
    int inStatement = 0;
    for (int i = 0; i < n; ++i) {
        const PreviewRow &r = *chosen[size_t(i)];
        double in = 0, out = 0;
        amountsFor(r.line.amount, heads.value(r.headId), &in, &out);
        const QString remarks = storedRemarks(r.line.remarks);
        const QString key = QString::number(first + i), head = QString::number(r.headId), date = r.line.date.toString(Qt::ISODate);
        const QString inText = FormatNumber(in), outText = FormatNumber(out);
        if (i == 0 || ++inStatement == kRowsPerInsert || entry.size() > kMaxStatementChars ||
            record.size() > kMaxStatementChars) {
            inStatement = 0;
            if (i > 0) {
                entries << entry;
                imported << record;
            }
            entry = QStringLiteral("INSERT INTO tblTransaction (Id,UserId,TransactionDate,HeadId,AmountIn,AmountOut,"
                                   "Remarks,TaskID) VALUES ");
            record = QStringLiteral("INSERT INTO tblImportedEntries (BatchId,UserId,ActionId,BankId,Fingerprint,Stamp) VALUES ");
            entry.reserve(kRowsPerInsert * 120);
            record.reserve(kRowsPerInsert * 200);
        } else {
            entry += QLatin1Char(',');
            record += QLatin1Char(',');
        }
        quoted = QuoteSql(remarks);
        entry += QLatin1Char('(');
        entry += key;
        entry += QLatin1Char(',');
        entry += user;
        entry += QLatin1String(",'");
        entry += date;
        entry += QLatin1String("',");
        entry += head;
        entry += QLatin1Char(',');
        entry += inText;
        entry += QLatin1Char(',');
        entry += outText;
        entry += QLatin1Char(',');
        entry += quoted;
        entry += QLatin1Char(',');
        entry += task;
        entry += QLatin1Char(')');

        // The stamp, as stamp() writes it, quoted: the remark's own quotes are doubled in it already.
        record += QLatin1Char('(');
        record += batchKey;
        record += QLatin1Char(',');
        record += user;
        record += QLatin1Char(',');
        record += key;
        record += QLatin1Char(',');
        record += QuoteSql(r.line.bankId.trimmed());
        record += QLatin1String(",'");
        record += QLatin1String(r.line.fingerprint.toHex());
        record += QLatin1String("','");
        record += date;
        record += QLatin1Char('|');
        record += head;
        record += QLatin1Char('|');
        record += inText;
        record += QLatin1Char('|');
        record += outText;
        record += QLatin1Char('|');
        record += QStringView(quoted).mid(1);
        record += QLatin1Char(')');
    }
    if (n > 0) {
        entries << entry;
        imported << record;
    }
    for (const QString &statement : std::as_const(entries))
        SharedConnection.Execute(statement);
    for (const QString &statement : std::as_const(imported))
        SharedConnection.Execute(statement);
    t.Commit();
    return std::int32_t(batchId);
}

int EditedSince(std::int32_t batchId)
{
    const qint64 task = taskOfBatch(batchId);
    if (task == 0)
        return 0;
    int edited = 0;
    for (const Remaining &r : remainingOf(batchId, task))
        edited += r.now != r.then;
    return edited;
}

void UndoBatch(std::int32_t batchId)
{
    WriteTransaction t(SharedConnection);
    const qint64 task = taskOfBatch(batchId);
    if (task == 0)
        throw SqlError(QStringLiteral("Import %1 is not one of yours.").arg(batchId));
    SharedConnection.Execute(QStringLiteral("Delete From tblTransaction Where UserId=%2 And TaskID=%3 And Id In "
                                            "(Select ActionId From tblImportedEntries Where BatchId=%1 And UserId=%2)")
                                 .arg(batchId).arg(me()).arg(task));
    SharedConnection.Execute(QStringLiteral("Delete From tblImportedEntries Where BatchId=%1 And UserId=%2").arg(batchId).arg(me()));
    SharedConnection.Execute(QStringLiteral("Delete From tblImportBatches Where Id=%1 And UserId=%2").arg(batchId).arg(me()));
    t.Commit();
}

}  // namespace import
