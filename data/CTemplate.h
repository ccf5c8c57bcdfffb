#pragma once
// The program's one road to the database. Instances keep no connection of their own: every
// instance works on the process-wide connection and current result (see MyFun.h), so any number
// of them behave as one.
#include "data/Engine.h"
#include "data/Variant.h"

#include <QString>
#include <memory>

class IListItems;

class CTemplate {
public:
    // Opens the process-wide connection on the file after "dbq=". Reports a failure in an
    // "Error" box; the result is always empty.
    Variant dataIntialize(const QString &myDataBase, const QString &UserId = QString(),
                          const QString &Passwd = QString(), const QString &DataSource = QString());

    // Fills ob from "Select FieldToList,idFieldName From tblName [Where col=Criteria]": the first
    // column as the item's text, the second as its number.
    Variant LoadList(IListItems &ob, const QString &tblName, const QString &FieldToList,
                     const QString &idFieldName, const QString &idFieldName1 = QString(),
                     const QString &Criteria = QString());

    // Record writers: pair the "Delim"-separated column and value lists and insert or update.
    QString AddNew(const QString &tblName, const QString &Flist, const QString &VList,
                   const QString &idField, const QString &Delim);
    QString AddNewTask(const QString &tblName, const QString &Flist, const QString &VList,
                       const QString &idField, const QString &Delim);
    QString UpdateData(const QString &tblName, const QString &Flist, const QString &VList,
                       const QString &idField, const Variant &IdValue, const QString &Delim);
    QString UpdateDataTask(const QString &tblName, const QString &Flist, const QString &VList,
                           const QString &idField, const Variant &IdValue, const QString &Delim,
                           qint32 IdTaskValue);

    // Runs a statement into SharedRecordset. The one operation that shows nothing itself:
    // a failure is thrown to the caller as SqlError and SharedRecordset keeps what it held.
    Variant ExecuteSql(const QString &stringSQL);

    // "Select DataToGet From tblName Where dCodeField=CodeToDecode" on a cursor of its own:
    // the first column of the first row; empty (after an "Error" box) when there is no row.
    Variant CodeDecode(const QString &CodeToDecode, const QString &dCodeField, const QString &tblName,
                       const QString &DataToGet);

    // Runs a query and hands its cursor to the caller, who owns it from then on.
    std::shared_ptr<Recordset> GetResults(QString strRequete);

    // True when the last writer call found the database busy with another program's save and
    // stored nothing (the user has been told): a window keeps what was typed, for Save again.
    bool Busy() const { return m_busy; }
    // The key of the row the last AddNew stored; 0 when it stored none.
    std::int32_t LastKey() const { return m_lastKey; }

private:

    // Runs one writer: reports a failure, and notes whether it was the database being busy.
    template <typename Body>
    void write(Body &&body);

    QString m_sql;  // the statement this instance composed last
    bool m_busy = false;
    std::int32_t m_lastKey = 0;
};

// Splits a field or value list at its delimiter. Empty pieces count as items; an empty list has
// none. A single-quoted text literal (with its doubled quotes) is one item even when the delimiter
// stands inside it.
QStringList SplitList(const QString &list, const QString &delim);
