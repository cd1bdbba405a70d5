// The catalog procedures ODBC's catalog calls run (sp_tables, sp_pkeys, sp_statistics,
// sp_special_columns; sp_columns in columns.cpp), answered from the SQLite file's own catalog with
// Adaptive Server's result columns and row order.

#include "session.h"

#include "catalogresult.h"
#include "messages.h"
#include "types.h"

#include <algorithm>
#include <strings.h>
#include <tuple>

namespace tds::sqlite {

using namespace catalog;

namespace {

// The system tables a database shows besides its own.
const char* const systemTables[] = {
    "sysalternates", "syscolumns", "syscomments", "sysconstraints", "sysdepends",
    "sysindexes",    "syskeys",    "sysobjects",  "sysprocedures",  "sysprotects",
    "sysreferences", "systypes",   "sysusers"};

bool matches(const std::string& pattern, const std::string& s) {
    return matchesPattern(pattern, s);
}

class Arguments {
  public:
    explicit Arguments(const std::vector<RpcParameter>& p) : p_(p) {}
    // By name, or by position when sent without a name.
    std::string get(const char* name, std::size_t position) const {
        for (const RpcParameter& a : p_)
            if (!a.null && strcasecmp(a.name.c_str(), name) == 0)
                return a.value;
        if (position < p_.size() && p_[position].name.empty() && !p_[position].null)
            return p_[position].value;
        return {};
    }

  private:
    const std::vector<RpcParameter>& p_;
};

} // namespace

bool SqliteSession::procedure(const std::string& name, const std::vector<RpcParameter>& params,
                              ResultSink& sink) {
    std::string proc = name;
    if (const std::size_t dot = proc.rfind('.'); dot != std::string::npos)
        proc = proc.substr(dot + 1);
    const Arguments args(params);
    sqlite3* db = db_.get();
    if (!db) {
        sink.message(msg::noDatabase(database_));
        sink.done(false, std::nullopt, true);
        return false;
    }
    // Sybase's catalog procedures are created in unchained mode, and those that build
    // work tables refuse to run inside a transaction.
    static const char* const catalogProcedures[] = {"sp_tables", "sp_pkeys", "sp_statistics",
                                                    "sp_special_columns", "sp_columns"};
    const bool catalogProcedure =
        std::any_of(std::begin(catalogProcedures), std::end(catalogProcedures),
                    [&](const char* p) { return strcasecmp(proc.c_str(), p) == 0; });
    if (catalogProcedure && chained_) {
        sink.message(msg::unchainedOnly(proc));
        sink.done(false, std::nullopt, true);
        return false;
    }
    if (trancount_ > 0 && (strcasecmp(proc.c_str(), "sp_pkeys") == 0 ||
                           strcasecmp(proc.c_str(), "sp_statistics") == 0)) {
        sink.done(true, std::nullopt, false);
        sink.message(msg::catalogInTransaction(proc));
        sink.returnStatus(1);
        return true;
    }
    if (strcasecmp(proc.c_str(), "sp_tables") == 0) {
        const std::string pattern = args.get("@table_name", 0);
        const std::string owners = args.get("@table_owner", 1);
        const std::string types = args.get("@table_type", 3);
        struct Row {
            std::string type, owner, name;
        };
        std::vector<Row> rows;
        for (const TableEntry& t : listTables(db)) {
            if (!pattern.empty() && !matches(pattern, t.object))
                continue;
            if (!owners.empty() && !matches(owners, t.owner))
                continue;
            // Every owner's tables, those this user may select from.
            if (!saRole_ && strcasecmp(t.owner.c_str(), user_.c_str()) != 0) {
                const std::optional<TableInfo> info = describeTable(db, t.name);
                if (!info || !maySelect(*info))
                    continue;
            }
            rows.push_back({t.view ? "VIEW" : "TABLE", t.owner, t.object});
        }
        for (const char* system : systemTables)
            rows.push_back({"SYSTEM TABLE", "dbo", system});
        std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
            return std::tie(a.type, a.owner, a.name) < std::tie(b.type, b.owner, b.name);
        });
        ProcedureResult out(sink, {varchar("table_qualifier", 32), varchar("table_owner", 32),
                                   varchar("table_name", 255, false),
                                   varchar("table_type", 32, false), varchar("remarks", 254)});
        for (const Row& r : rows) {
            if (!pattern.empty() && !matches(pattern, r.name))
                continue;
            if (!owners.empty() && !matches(owners, r.owner))
                continue;
            if (!types.empty() && types.find("'" + r.type + "'") == std::string::npos &&
                types != r.type)
                continue;
            if (!out.row(
                    {text(database_), text(r.owner), text(r.name), text(r.type), Value::Null()}))
                return stopped();
        }
        out.finish();
        return true;
    }
    if (strcasecmp(proc.c_str(), "sp_columns") == 0)
        return columns(args.get("@table_name", 0), args.get("@table_owner", 1), sink);
    if (strcasecmp(proc.c_str(), "sp_table_privileges") == 0 ||
        strcasecmp(proc.c_str(), "sp_column_privileges") == 0)
        return privileges(proc, params, sink);
    const bool pkeys = strcasecmp(proc.c_str(), "sp_pkeys") == 0;
    const bool statistics = strcasecmp(proc.c_str(), "sp_statistics") == 0;
    const bool special = strcasecmp(proc.c_str(), "sp_special_columns") == 0;
    if (!pkeys && !statistics && !special) {
        sink.message(msg::noProcedure(proc));
        sink.done(false, std::nullopt, true);
        return false;
    }
    const std::optional<TableInfo> table =
        resolve(args.get("@table_owner", 1), args.get("@table_name", 0));
    const std::string tableName = table ? table->object : args.get("@table_name", 0);
    const std::string owner = table ? table->owner : "dbo";
    if (pkeys) {
        ProcedureResult out(
            sink, {varchar("table_qualifier", 32), varchar("table_owner", 32),
                   varchar("table_name", 255, false), varchar("column_name", 255, false),
                   column("key_seq", AseType::SmallInt, 0, false), varchar("pk_name", 255)});
        if (table && !table->view)
            for (std::size_t i = 0; i < table->primaryKey.size(); ++i)
                if (!out.row({text(database_), text(owner), text(tableName),
                              text(table->primaryKey[i]), integer(std::int64_t(i + 1)),
                              text(primaryKeyName(*table))}))
                    return stopped();
        out.finish();
        return true;
    }
    if (statistics) {
        const bool uniqueOnly = strcasecmp(args.get("@is_unique", 4).c_str(), "Y") == 0;
        ProcedureResult out(
            sink,
            {varchar("table_qualifier", 32), varchar("table_owner", 32),
             varchar("table_name", 255, false), column("non_unique", AseType::SmallInt, 0, true),
             varchar("index_qualifier", 32), varchar("index_name", 255),
             column("type", AseType::SmallInt, 0, false),
             column("seq_in_index", AseType::SmallInt, 0, true), varchar("column_name", 255),
             column("collation", AseType::Char, 1, true),
             column("cardinality", AseType::Int, 0, true), column("pages", AseType::Int, 0, true)});
        if (!table || table->view) {
            out.finish();
            return true;
        }
        // An estimate read without a scan, as the server's own is (the table's highest row
        // number; count(*) only where the table has none).
        std::int64_t rows = 0;
        int rc = 0;
        for (const char* estimate :
             {"SELECT coalesce(max(rowid), 0) FROM ", "SELECT count(*) FROM "})
            if (PreparedStatement s = prepare(db, Sql{estimate + quoteName(table->name), {}}, rc);
                s && sqlite3_step(s.get()) == SQLITE_ROW) {
                rows = sqlite3_column_int64(s.get(), 0);
                break;
            }
        const Value q = text(database_), o = text(owner), n = text(tableName);
        if (!out.row({q, o, n, Value::Null(), Value::Null(), Value::Null(), integer(0),
                      Value::Null(), Value::Null(), Value::Null(), integer(rows),
                      integer((rows + 49) / 50)}))
            return stopped();
        std::vector<IndexInfo> indexes = tableIndexes(db, *table);
        // non_unique, type, index_name, seq_in_index: unique first, the clustered key first
        std::stable_sort(indexes.begin(), indexes.end(),
                         [](const IndexInfo& a, const IndexInfo& b) {
                             if (a.unique != b.unique)
                                 return a.unique;
                             if (a.primaryKey != b.primaryKey)
                                 return a.primaryKey;
                             return a.name < b.name;
                         });
        for (const IndexInfo& ix : indexes) {
            if (uniqueOnly && !ix.unique)
                continue;
            for (std::size_t i = 0; i < ix.columns.size(); ++i)
                if (!out.row({q, o, n, integer(ix.unique ? 0 : 1), text(tableName), text(ix.name),
                              integer(ix.primaryKey ? 1 : 3), integer(std::int64_t(i + 1)),
                              text(ix.columns[i]), text("A"), integer(rows),
                              integer((rows + 49) / 50)}))
                    return stopped();
        }
        out.finish();
        return true;
    }
    // sp_special_columns: 'V' the row version (the timestamp column), 'R' the best row id.
    const bool version = strcasecmp(args.get("@col_type", 3).c_str(), "R") != 0;
    ProcedureResult out(
        sink, {column("scope", AseType::SmallInt, 0, true), varchar("column_name", 255, false),
               column("data_type", AseType::SmallInt, 0, false), varchar("type_name", 32, false),
               column("precision", AseType::Int, 0, true), column("length", AseType::Int, 0, true),
               column("scale", AseType::SmallInt, 0, true),
               column("pseudo_column", AseType::SmallInt, 0, true)});
    if (table && !table->view) {
        std::vector<const ColumnInfo*> chosen;
        if (version && table->timestamp >= 0) {
            chosen.push_back(&table->columns[std::size_t(table->timestamp)]);
        } else if (!version) {
            for (const IndexInfo& ix : tableIndexes(db, *table))
                if (ix.unique && chosen.empty())
                    for (const std::string& c : ix.columns)
                        if (const int i = findColumn(*table, c); i >= 0)
                            chosen.push_back(&table->columns[std::size_t(i)]);
        }
        for (const ColumnInfo* c : chosen) {
            const bool exact = c->type == AseType::Numeric || c->type == AseType::Decimal;
            if (!out.row({version ? Value::Null() : integer(0), text(c->name),
                          integer(odbcType(*c)), text(typeName(c->type)),
                          integer(odbcPrecision(*c)), integer(odbcLength(*c)),
                          exact ? integer(c->scale) : Value::Null(), integer(1)}))
                return stopped();
        }
    }
    out.finish();
    return true;
}

bool SqliteSession::maySelect(const TableInfo& table) {
    if (permitted(table, "select", ""))
        return true;
    for (const ColumnInfo& c : table.columns)
        if (permitted(table, "select", c.name))
            return true;
    return false;
}

// sp_table_privileges and sp_column_privileges: for the table's owner, this user and every
// user a grant names, the privileges that user holds, one row each, as Sybase's procedures
// report them (grantor: the owner; grants to public count for every user).
bool SqliteSession::privileges(const std::string& proc, const std::vector<RpcParameter>& params,
                               ResultSink& sink) {
    const Arguments args(params);
    const bool perColumn = strcasecmp(proc.c_str(), "sp_column_privileges") == 0;
    const std::optional<TableInfo> table =
        resolve(args.get("@table_owner", 1), args.get("@table_name", 0));
    const std::string columnPattern = perColumn ? args.get("@column_name", 3) : std::string();
    std::vector<ColumnInfo> resultColumns{varchar("table_qualifier", 32),
                                          varchar("table_owner", 32),
                                          varchar("table_name", 255, false)};
    if (perColumn)
        resultColumns.push_back(varchar("column_name", 255, false));
    for (const char* name : {"grantor", "grantee"})
        resultColumns.push_back(varchar(name, 32, false));
    resultColumns.push_back(varchar("privilege", 32, false));
    resultColumns.push_back(varchar("is_grantable", 3));
    ProcedureResult out(sink, resultColumns);
    if (!table || table->view) {
        out.finish();
        return true;
    }
    struct Row {
        std::string column, privilege, grantee;
    };
    std::vector<Row> rows;
    static const char* const tableActions[] = {"DELETE", "INSERT", "SELECT", "UPDATE"};
    static const char* const columnActions[] = {"SELECT", "UPDATE"};
    for (const std::string& user : grantees(*table)) {
        if (!perColumn) {
            for (const char* action : tableActions) {
                std::string lower = action;
                for (char& c : lower)
                    c = char(std::tolower(static_cast<unsigned char>(c)));
                if (permittedFor(*table, user, lower, ""))
                    rows.push_back({{}, action, user});
            }
            continue;
        }
        for (const ColumnInfo& c : table->columns) {
            if (!columnPattern.empty() && !matches(columnPattern, c.name))
                continue;
            for (const char* action : columnActions)
                if (permittedFor(*table, user, action[0] == 'S' ? "select" : "update", c.name))
                    rows.push_back({c.name, action, user});
        }
    }
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        return std::tie(a.column, a.privilege) < std::tie(b.column, b.privilege);
    });
    for (const Row& r : rows) {
        std::vector<Value> values{text(database_), text(table->owner), text(table->object)};
        if (perColumn)
            values.push_back(text(r.column));
        const bool owner = strcasecmp(r.grantee.c_str(), table->owner.c_str()) == 0;
        for (const Value& v :
             {text(table->owner), text(r.grantee), text(r.privilege), text(owner ? "YES" : "NO")})
            values.push_back(v);
        if (!out.row(values))
            return stopped();
    }
    out.finish();
    return true;
}

} // namespace tds::sqlite
