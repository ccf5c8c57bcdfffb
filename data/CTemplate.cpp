#include "data/CTemplate.h"

#include "data/ListItems.h"
#include "data/MyFun.h"

#include <cstdlib>

namespace {

QString textOf(const Variant &v)
{
    if (v.isNull())
        throw SqlError(QStringLiteral("Invalid use of Null"));
    return v.toString();
}

}  // namespace

QStringList SplitList(const QString &list, const QString &delim)
{
    QStringList items;
    if (list.isEmpty())
        return items;
    if (delim.isEmpty())
        return {list};
    int start = 0;
    bool inQuote = false;
    for (int i = 0; i < list.size();) {
        if (list[i] == QLatin1Char('\'')) {
            inQuote = !inQuote;
            ++i;
        } else if (!inQuote && QStringView(list).mid(i).startsWith(delim)) {
            items << list.mid(start, i - start);
            i += delim.size();
            start = i;
        } else {
            ++i;
        }
    }
    items << list.mid(start);
    return items;
}

Variant CTemplate::dataIntialize(const QString &myDataBase, const QString &UserId, const QString &Passwd,
                                 const QString &)
{
    Reported([&] {
        SharedConnection.Open(QStringLiteral("driver={Microsoft Access Driver (*.mdb)};dbq=") + myDataBase,
                              UserId, Passwd);
        // The connection is closed (its log folded into the file) when the program ends normally,
        // before the encryption library's own exit handler tears it down: handlers run in the
        // reverse order of their registration, and this one is registered after the library's.
        static const bool closesAtExit = std::atexit([] { SharedConnection.Close(); }) == 0;
        Q_UNUSED(closesAtExit);
        // A file that can be read but not written stays open for reading; the user is told once.
        if (!SharedConnection.CannotSave().isEmpty())
            ReportDataError(SharedConnection.CannotSave());
    });
    return {};
}

Variant CTemplate::ExecuteSql(const QString &stringSQL)
{
    SharedRecordset = SharedConnection.Execute(stringSQL);
    return {};
}

Variant CTemplate::LoadList(IListItems &ob, const QString &tblName, const QString &FieldToList,
                            const QString &idFieldName, const QString &idFieldName1, const QString &Criteria)
{
    Reported([&] {
        m_sql = QStringLiteral("Select ") + FieldToList + QLatin1Char(',') + idFieldName + QStringLiteral(" From ") + tblName;
        if (!Criteria.isEmpty())
            m_sql += QStringLiteral(" Where ") + (idFieldName1.isEmpty() ? idFieldName : idFieldName1) +
                     QLatin1Char('=') + Criteria;
        // A list whose database cannot be reached keeps its items (and the user's choice).
        try {
            ExecuteSql(m_sql);
        } catch (const ConnectionLost &) {
            throw;
        } catch (...) {
            ob.Clear();
            throw;
        }
        ob.Clear();
        Recordset &rs = *SharedRecordset;
        while (!rs.Eof()) {
            ob.AddItem(textOf(rs.Fields(0)));
            const Variant id = rs.Fields(1);
            if (id.isNull())
                throw SqlError(QStringLiteral("Invalid use of Null"));
            ob.SetItemData(ob.NewIndex(), qint32(id.toInt64()));
            rs.MoveNext();
        }
        SharedRecordset.reset();
    });
    return {};
}

Variant CTemplate::CodeDecode(const QString &CodeToDecode, const QString &dCodeField, const QString &tblName,
                              const QString &DataToGet)
{
    Variant result;
    Reported([&] {
        m_sql = QStringLiteral("Select ") + DataToGet + QStringLiteral(" From ") + tblName + QStringLiteral(" Where ") +
                dCodeField + QLatin1Char('=') + CodeToDecode;
        const std::shared_ptr<Recordset> own = SharedConnection.Execute(m_sql);
        result = own->Fields(0);
    });
    return result;
}

std::shared_ptr<Recordset> CTemplate::GetResults(QString strRequete)
{
    std::shared_ptr<Recordset> handed;
    Reported([&] {
        ExecuteSql(strRequete);
        handed = SharedRecordset;
        SharedRecordset.reset();
    });
    return handed;
}

template <typename Body>
void CTemplate::write(Body &&body)
{
    m_busy = false;
    Reported([&] {
        try {
            body();
        } catch (const DatabaseBusy &) {
            m_busy = true;
            throw;
        }
    });
}

QString CTemplate::AddNew(const QString &tblName, const QString &Flist, const QString &VList, const QString &idField,
                          const QString &Delim)
{
    write([&] {
        const QStringList fields = SplitList(Flist, Delim);
        const QStringList values = SplitList(VList, Delim);
        // The key is read and used under one write lock: another program saving at the same
        // moment waits, and never takes the same key. A failure thrown here ends the transaction
        // (and frees the lock) before the user is told: no other program waits on a box left open.
        m_lastKey = 0;
        WriteTransaction transaction(SharedConnection);
        const std::int32_t key = NextKey(tblName, idField);
        if (values.size() < fields.size())
            throw SqlError(QStringLiteral("Subscript out of range: the value list has fewer items than the column list."));
        QString columns = idField;
        QString literals = QString::number(key);
        for (int i = 0; i < fields.size(); ++i) {
            columns += QLatin1Char(',') + fields[i];
            literals += QLatin1Char(',') + values[i];
        }
        m_sql = QStringLiteral("INSERT INTO ") + tblName + QStringLiteral(" (") + columns + QStringLiteral(") VALUES (") +
                literals + QLatin1Char(')');
        ExecuteSql(m_sql);
        transaction.Commit();
        m_lastKey = key;
    });
    return {};
}

// The task editor's name for the same writer.
QString CTemplate::AddNewTask(const QString &tblName, const QString &Flist, const QString &VList,
                              const QString &idField, const QString &Delim)
{
    return AddNew(tblName, Flist, VList, idField, Delim);
}

namespace {
// "Update t Set idField=IdValue,col=val,..." for the update writers.
QString updateHead(const QString &tblName, const QStringList &fields, const QStringList &values,
                   const QString &idField, const Variant &IdValue)
{
    if (values.size() < fields.size())
        throw SqlError(QStringLiteral("Subscript out of range: the value list has fewer items than the column list."));
    QString sql = QStringLiteral("Update ") + tblName + QStringLiteral(" Set ") + idField + QLatin1Char('=') +
                  IdValue.toString();
    for (int i = 0; i < fields.size(); ++i)
        sql += QLatin1Char(',') + fields[i] + QLatin1Char('=') + values[i];
    return sql;
}
}  // namespace

QString CTemplate::UpdateData(const QString &tblName, const QString &Flist, const QString &VList,
                              const QString &idField, const Variant &IdValue, const QString &Delim)
{
    write([&] {
        m_sql = updateHead(tblName, SplitList(Flist, Delim), SplitList(VList, Delim), idField, IdValue) +
                QStringLiteral(" WHERE ") + idField + QLatin1Char('=') + IdValue.toString();
        ExecuteSql(m_sql);
    });
    return {};
}

QString CTemplate::UpdateDataTask(const QString &tblName, const QString &Flist, const QString &VList,
                                  const QString &idField, const Variant &IdValue, const QString &Delim,
                                  qint32 IdTaskValue)
{
    write([&] {
        m_sql = updateHead(tblName, SplitList(Flist, Delim), SplitList(VList, Delim), idField, IdValue) +
                QStringLiteral(" WHERE  TaskID =") + QString::number(IdTaskValue);
        ExecuteSql(m_sql);
    });
    return {};
}
