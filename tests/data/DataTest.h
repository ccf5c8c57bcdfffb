#pragma once
// Shared by the data tests: an open program folder, rows as text, a file used as another program would.
#include "TestSupport.h"

#include <QFile>
#include <sqlcipher/sqlite3.h>

class OpenFolderTest : public ProgramFolderTest {
protected:
    void SetUp() override { ProgramFolderTest::SetUp(); OpenDatabase(); }
    CTemplate dao;
};

// Every row of a result, its fields' text forms joined by "|".
inline QStringList Rows(const QString &sql)
{
    QStringList rows;
    for (const auto rs = SharedConnection.Execute(sql); !rs->Eof(); rs->MoveNext())
        for (int i = 0; i < rs->FieldCount(); ++i)
            (i ? rows.back() += '|' : rows.emplace_back()) += rs->Fields(i).toString();
    return rows;
}

// Runs statements with the engine's own NOCASE (A to Z only) and this key; answers every row's first field.
inline QStringList AsAnotherProgram(const QString &path, const char *sql, const char *key = kDatabasePassword)
{
    QStringList rows;
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_key(db, key, int(qstrlen(key)));
    // A program that writes the file names its user to the history triggers, as Quillmark does.
    sqlite3_create_function(db, "qmk_user", 0, SQLITE_UTF8, nullptr,
                            [](sqlite3_context *c, int, sqlite3_value **) { sqlite3_result_text(c, "other", -1, SQLITE_STATIC); },
                            nullptr, nullptr);
    const auto add = [](void *to, int, char **f, char **) { return *static_cast<QStringList *>(to) << f[0], 0; };
    EXPECT_EQ(sqlite3_exec(db, sql, add, &rows, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
    return rows;
}
