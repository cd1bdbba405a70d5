// The catalog procedures ODBC's catalog calls run (sp_tables, sp_pkeys, sp_statistics,
// sp_special_columns; sp_columns in columns.cpp), answered from the SQLite file's own catalog with
// Adaptive Server's result columns and row order.

#include "session.h"

#include "catalogresult.h"
#include "messages.h"
#include "types.h"

#include <algorithm>
#include <strings.h>

namespace tds::sqlite {

using namespace catalog;

namespace {

// The system tables a database shows besides its own.
const char* const systemTables[] = {
    "sysalternates", "syscolumns", "syscomments", "sysconstraints", "sysdepends",
    "sysindexes",    "syskeys",    "sysobjects",  "sysprocedures",  "sysprotects",
    "sysreferences", "systypes",   "sysusers"};

// LIKE with % and _, case-insensitive, without backtracking into every '%'.
bool matches(const std::string& pattern, const std::string& s) {
    auto same = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    };
    std::size_t p = 0, i = 0, star = std::string::npos, resume = 0;
    while (i < s.size()) {
        if (p < pattern.size() &&
            (pattern[p] == '_' || (pattern[p] != '%' && same(pattern[p], s[i])))) {
            ++p;
            ++i;
        } else if (p < pattern.size() && pattern[p] == '%') {
            star = p++;
            resume = i;
        } else if (star != std::string::npos) {
            p = star + 1;
            i = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '%')
        ++p;
    return p == pattern.size();
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
        const std::string types = args.get("@table_type", 3);
        struct Row {
            std::string type, name;
        };
        std::vector<Row> rows;
        for (const TableEntry& t : listTables(db))
            rows.push_back({t.view ? "VIEW" : "TABLE", t.name});
        for (const char* s : systemTables)
            rows.push_back({"SYSTEM TABLE", s});
        std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
            return a.type != b.type ? a.type < b.type : a.name < b.name;
        });
        ProcedureResult out(sink, {varchar("table_qualifier", 32), varchar("table_owner", 32),
                                   varchar("table_name", 255, false),
                                   varchar("table_type", 32, false), varchar("remarks", 254)});
        for (const Row& r : rows) {
            if (!pattern.empty() && !matches(pattern, r.name))
                continue;
            if (!types.empty() && types.find("'" + r.type + "'") == std::string::npos &&
                types != r.type)
                continue;
            if (!out.row({text(database_), text("dbo"), text(r.name), text(r.type), Value::Null()}))
                return stopped();
        }
        out.finish();
        return true;
    }
    if (strcasecmp(proc.c_str(), "sp_columns") == 0)
        return columns(args.get("@table_name", 0), sink);
    const bool pkeys = strcasecmp(proc.c_str(), "sp_pkeys") == 0;
    const bool statistics = strcasecmp(proc.c_str(), "sp_statistics") == 0;
    const bool special = strcasecmp(proc.c_str(), "sp_special_columns") == 0;
    if (!pkeys && !statistics && !special) {
        sink.message(msg::noProcedure(proc));
        sink.done(false, std::nullopt, true);
        return false;
    }
    const std::optional<TableInfo> table = describeTable(db, args.get("@table_name", 0));
    const std::string tableName = table ? table->name : args.get("@table_name", 0);
    if (pkeys) {
        ProcedureResult out(
            sink, {varchar("table_qualifier", 32), varchar("table_owner", 32),
                   varchar("table_name", 255, false), varchar("column_name", 255, false),
                   column("key_seq", AseType::SmallInt, 0, false), varchar("pk_name", 255)});
        if (table && !table->view)
            for (std::size_t i = 0; i < table->primaryKey.size(); ++i)
                if (!out.row({text(database_), text("dbo"), text(tableName),
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
        std::int64_t rows = 0;
        Sql count{"SELECT count(*) FROM " + quoteName(table->name), {}};
        int rc = 0;
        if (PreparedStatement s = prepare(db, count, rc); s && sqlite3_step(s.get()) == SQLITE_ROW)
            rows = sqlite3_column_int64(s.get(), 0);
        const Value q = text(database_), o = text("dbo"), n = text(tableName);
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

} // namespace tds::sqlite
