#pragma once

// The table listing: fills a list with the names of the database's user tables, read
// from the provider's tables schema. It knows no widgets: the list, the connection string
// and the event pump are handed in, and its failures go to the handler the caller built
// with this routine's own location text.

#include "db/connection.h"
#include "db/handler.h"
#include "db/recordset.h"

#include <QString>
#include <functional>
#include <optional>
#include <utility>

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
    const bool fetched =
        h.step(106, [&] { recordset = connection.value().OpenSchema(adSchemaTables); });
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
                QString name;
                bool listed = false;
                if (!h.step(116, [&] {
                        name = recordset->Fields(QStringLiteral("TABLE_NAME")).Value().toString();
                        listed = isListedName(name);
                    }))
                    break;
                if (listed)
                    h.step(118, [&] { list.AddItem(name); });
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
