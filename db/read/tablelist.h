#pragma once

// The table listing: fills a list with the names of the database's user tables, read
// from the provider's tables schema. It knows no widgets: the list, the connection string
// and the event pump are handed in, and its failures go to the handler the caller built
// with this routine's own location text.

#include "db/connect/connection.h"
#include "db/connect/handler.h"
#include "db/dialect/tablename.h"
#include "db/read/recordset.h"

#include <QSet>
#include <QString>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace db {

// Where the listing's failures are reported from: object and procedure of its location
// text "in Quorvane2021/08/31.SybaseASE.AddTablesToSybaseASEListbox ".
inline constexpr const char* kTableListObject = "SybaseASE";
inline constexpr const char* kTableListProcedure = "AddTablesToSybaseASEListbox";

// The list box being filled.
class ListTarget {
  public:
    virtual ~ListTarget() = default;
    virtual void Clear() = 0;
    virtual void AddItem(const QString& item) = 0;
    // An item and the table it names (its owner left empty when the bare name leads to it).
    virtual void AddItem(const QString& item, const TableName& table) {
        (void)table;
        AddItem(item);
    }
    virtual int ListCount() const = 0;
};

// The two tests a schema row passes to be listed.
inline bool isTableRow(const QString& tableType) {
    return tableType == QLatin1String("TABLE");
}
inline bool isListedName(const QString& tableName) {
    return !tableName.toUpper().contains(QLatin1String("SYS"));
}

// Rebuilds `list` from the tables schema of a connection opened with `connectionString()`
// (read when the connection opens). `processEvents` runs once per row of type "TABLE".
// A table is listed by its bare name when that name leads to it for this login, else as
// "owner.name".
// Each failing statement is reported through `handler` and the listing goes on; rows that
// cannot be read end the loop after one report, and what was opened is closed still.
void AddTablesToSybaseASEListbox(ListTarget& list, const std::function<QString()>& connectionString,
                                 const std::function<void()>& processEvents, Handler& handler);

// The listing over any connection type with the shape of db::Connection (tests put
// failing connections and recordsets in its place).
template <typename ConnectionT>
void listUserTables(ListTarget& list, const std::function<QString()>& connectionString,
                    const std::function<void()>& processEvents, Handler& h) {
    using RecordsetT = decltype(std::declval<ConnectionT&>().OpenSchema(adSchemaTables));
    std::optional<ConnectionT> connection;
    std::optional<RecordsetT> recordset;

    h.step(100, [&] { connection.emplace(); });
    h.step(102, [&] { recordset.emplace(); });
    h.step(104, [&] { connection.value().Open(connectionString()); });
    // The login's database user, and the names of its own objects, which its bare names
    // lead to before dbo's.
    QString user = QStringLiteral("dbo");
    QSet<QString> own;
    const bool fetched = h.step(106, [&] {
        recordset = connection.value().OpenSchema(adSchemaTables);
        if constexpr (requires { connection.value().UserName(); }) {
            if (const QString known = connection.value().UserName(); !known.isEmpty())
                user = known;
            if (user != QLatin1String("dbo"))
                for (const QString& name : connection.value().NamesOwnedBy(user))
                    own.insert(name);
        }
    });
    h.step(108, [&] { list.Clear(); });

    // A schema that was never fetched has no rows to read: its failure is reported above.
    // Within the loop, a row that cannot be read (the connection went away) ends the
    // listing after its one report instead of failing again at every statement.
    if (fetched) {
        while (h.loopCond(110, [&] { return !recordset->Eof(); })) {
            bool table = false;
            if (!h.step(112, [&] {
                    table = isTableRow(
                        recordset->Fields(QStringLiteral("TABLE_TYPE")).Value().toString());
                }))
                break;
            if (table) {
                h.step(114, processEvents);
                TableName named;
                bool listed = false;
                if (!h.step(116, [&] {
                        named.name =
                            recordset->Fields(QStringLiteral("TABLE_NAME")).Value().toString();
                        const QString owner =
                            recordset->Fields(QStringLiteral("TABLE_SCHEM")).Value().toString();
                        if (!bareNameLeadsTo(owner, user, own.contains(named.name)))
                            named.owner = owner;
                        listed = isListedName(named.name);
                    }))
                    break;
                if (listed)
                    h.step(118, [&] { list.AddItem(named.shown(), named); });
            }
            if (!h.step(120, [&] { recordset->MoveNext(); }))
                break;
        }
    }

    h.step(122, [&] {
        if (recordset)
            recordset->Close();
    });
    h.step(124, [&] { recordset.reset(); });
    h.step(126, [&] {
        if (connection)
            connection->Close();
    });
    h.step(128, [&] { connection.reset(); });
}

} // namespace db
