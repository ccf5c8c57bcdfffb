#include "tools/ImportCommand.h"

#include "data/Accounts.h"
#include "data/Imports.h"
#include "data/MyFun.h"
#include "data/PgEngine.h"
#include "data/RowStream.h"
#include "data/ServerDatabase.h"
#include "import/Readers.h"
#include "tools/Terminal.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

using namespace import;

namespace {

void say(const QString &text) { std::fprintf(stderr, "qmk-import: %s\n", qPrintable(text)); }

QString readPassword(const ImportCommand &command)
{
    if (!command.passwordFile.isEmpty()) {
        QFile f(command.passwordFile);
        if (!f.open(QIODevice::ReadOnly)) {
            say(QStringLiteral("cannot read %1: %2").arg(command.passwordFile, f.errorString()));
            return {};
        }
        return QString::fromUtf8(f.readLine()).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    }
    const QByteArray prompt = QStringLiteral("Password for %1: ").arg(command.user).toUtf8();
    return ReadLineHidden(prompt.constData());
}

}  // namespace

bool LogIn(const ImportCommand &command)
{
    const QString password = readPassword(command);
    if (password.isEmpty()) {
        say(QStringLiteral("no password given; nothing was imported."));
        return false;
    }
    if (!command.server.isEmpty()) {
        ServerConnection = command.server;
        try {
            SharedConnection.Use(std::make_unique<PgEngine>(command.server, ServerRoleOf(command.user), password));
        } catch (const SqlError &e) {
            say(e.description());
            return false;
        }
    } else {
        const QString path = command.database.isEmpty()
                                 ? QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(kDatabaseFileName)
                                 : command.database;
        if (!QFileInfo::exists(path)) {
            say(QStringLiteral("there is no database file %1.").arg(path));
            return false;
        }
        DataAccess.dataIntialize(path, QString(), QString::fromLatin1(kDatabasePassword), QString());
        if (!SharedConnection.IsOpen())
            return false;  // the reason is on standard error already
        const FileLogin login = CheckFileLogin(command.user, password);
        if (!login.ok || login.userId == QLatin1String(kMasterUser)) {
            say(QStringLiteral("the user name or the password is not right."));
            return false;
        }
        if (!SharedConnection.CannotSave().isEmpty()) {
            say(SharedConnection.CannotSave());
            return false;
        }
        CurrentUserId = login.userId;
        return true;
    }
    CurrentUserId = command.user;
    return true;
}

std::optional<TabularMapping> SavedMapping(const QString &name)
{
    std::vector<Profile> profiles;
    if (!Reported([&] { profiles = LoadProfiles(); }))
        return std::nullopt;
    for (const Profile &p : profiles)
        if (p.name.compare(name, Qt::CaseInsensitive) == 0) {
            if (auto mapping = TabularMapping::FromText(p.mapping))
                return mapping;
            say(QStringLiteral("the mapping \"%1\" cannot be read.").arg(name));
            return std::nullopt;
        }
    say(QStringLiteral("you have no saved mapping named \"%1\".").arg(name));
    return std::nullopt;
}

int RunImport(const ImportCommand &command)
{
    Format format = Format::Unknown;
    try {
        format = DetectFormat(command.file);
    } catch (const ReadError &e) {
        say(e.message());
        return 2;
    }
    if (format == Format::Unknown) {
        say(NotAStatementMessage());
        return 2;
    }
    if (!LogIn(command))
        return 1;
    // The project must be one of the user's own.
    bool own = false;
    Reported([&] {
        own = RowsOf(QStringLiteral("Select TaskID From tblTasks Where UserId=") + QuoteSql(CurrentUserId) +
                     QStringLiteral(" And TaskID=") + QString::number(command.project))
                  ->RecordCount() > 0;
    });
    if (!own) {
        say(QStringLiteral("%1 has no project %2; nothing was imported.").arg(CurrentUserId).arg(command.project));
        return 1;
    }

    std::optional<TabularMapping> mapping;
    const bool table = format == Format::Csv || format == Format::Xlsx || format == Format::Xls;
    try {
        if (table) {
            const MappingProposal proposal = ProposeMapping(SampleTable(command.file, format));
            std::vector<Profile> profiles;
            Reported([&] { profiles = LoadProfiles(); });
            if (!command.profile.isEmpty()) {
                mapping = SavedMapping(command.profile);
                if (!mapping)
                    return 1;
            } else if (auto saved = MappingForShape(profiles, proposal.shape)) {
                mapping = saved;
            } else if (!proposal.missing.isEmpty()) {
                say(QStringLiteral("the columns of %1 cannot all be told from its content (%2): map them once in the "
                                   "program and save the mapping, then name it with --profile.")
                        .arg(QFileInfo(command.file).fileName(), proposal.missing));
                return 2;
            } else {
                mapping = proposal.mapping;
            }
        }
    } catch (const ReadError &e) {
        say(e.message());
        return 2;
    }

    std::vector<PreviewRow> rows;
    try {
        rows = ReadRows(command.file, format, mapping ? &*mapping : nullptr);
    } catch (const ReadError &e) {
        say(e.message());
        return 2;
    }

    std::int32_t fallbackHead = 0;
    if (!command.head.isEmpty()) {
        Reported([&] {
            auto heads = RowsOf(QStringLiteral("Select Id,Heads From defHeads Where UserId=") + QuoteSql(CurrentUserId));
            for (int r = 0; r < heads->RecordCount(); ++r)
                if (heads->FieldAt(r, 1).toString().compare(command.head, Qt::CaseInsensitive) == 0)
                    fallbackHead = std::int32_t(heads->FieldAt(r, 0).toInt64());
        });
        if (fallbackHead == 0) {
            say(QStringLiteral("%1 has no head named \"%2\"; nothing was imported.").arg(CurrentUserId, command.head));
            return 1;
        }
    }
    if (!Reported([&] {
            Classify(rows, command.project);
            ApplyHeads(rows, LoadRules());
        }))
        return 1;

    int already = 0, duplicates = 0, errors = 0, headless = 0, suggested = 0;
    for (PreviewRow &row : rows) {
        switch (row.status) {
        case LineStatus::AlreadyImported: ++already; break;
        case LineStatus::PossibleDuplicate: ++duplicates; break;
        case LineStatus::Error:
            ++errors;
            std::fprintf(stderr, "qmk-import: line %d: %s\n", row.line.line, qPrintable(row.line.error));
            break;
        case LineStatus::New: break;
        }
        if (!row.ticked)
            continue;
        if (row.headId == 0)
            row.headId = fallbackHead;
        if (row.headId == 0) {
            row.ticked = false;
            ++headless;
        } else if (row.headSuggested) {
            ++suggested;
        }
    }
    int toWrite = 0;
    for (const PreviewRow &row : rows)
        toWrite += row.ticked ? 1 : 0;
    std::int32_t batch = 0;
    if (toWrite > 0) {
        try {
            batch = WriteBatch(command.project, QFileInfo(command.file).fileName(), FileSha256(command.file), rows);
        } catch (const SqlError &e) {
            say(QStringLiteral("nothing was imported: %1").arg(e.description()));
            return 1;
        }
    }
    std::printf("%s: %d lines read (%s). Imported %d entries into project %d%s.\n",
                qPrintable(QFileInfo(command.file).fileName()), int(rows.size()), qPrintable(FormatName(format)), toWrite,
                command.project, batch ? qPrintable(QStringLiteral(" as import %1").arg(batch)) : "");
    if (suggested)
        std::printf("%d of them took the head suggested by your earlier entries.\n", suggested);
    if (already)
        std::printf("Skipped %d already imported.\n", already);
    if (duplicates)
        std::printf("Skipped %d possible duplicates of entries of the project (import them in the program to check).\n",
                    duplicates);
    if (headless)
        std::printf("Skipped %d without a head: add rules in the program, or name one with --head.\n", headless);
    if (errors)
        std::printf("Skipped %d that could not be read.\n", errors);
    return 0;
}
