// sp_columns, answered from the SQLite file's own catalog with Adaptive Server's result
// columns.

#include "session.h"

#include "catalogresult.h"
#include "types.h"

#include <algorithm>
#include <tuple>

namespace tds::sqlite {

using namespace catalog;

// sp_columns: one row per column, in order, with its declared default (column_def) as
// the file's schema holds it. A name without wildcards that names a table for this user
// (see resolve) answers for that table alone; otherwise `name` and `owner` (every owner
// when empty) are patterns, and every table they match answers, by owner and name.
bool SqliteSession::columns(const std::string& name, const std::string& owner, ResultSink& sink) {
    sqlite3* db = db_.get();
    std::vector<TableInfo> tables;
    const bool wild = (name + owner).find_first_of("%_") != std::string::npos;
    if (std::optional<TableInfo> exact = wild ? std::nullopt : resolve(owner, name)) {
        tables.push_back(std::move(*exact));
    } else {
        std::vector<TableEntry> entries = listTables(db);
        std::sort(entries.begin(), entries.end(), [](const TableEntry& a, const TableEntry& b) {
            return std::tie(a.owner, a.object) < std::tie(b.owner, b.object);
        });
        for (const TableEntry& e : entries)
            if (matchesPattern(name, e.object) && (owner.empty() || matchesPattern(owner, e.owner)))
                if (std::optional<TableInfo> t = describeTable(db, e.name))
                    tables.push_back(std::move(*t));
    }
    ProcedureResult out(sink, {varchar("table_qualifier", 32),
                               varchar("table_owner", 32),
                               varchar("table_name", 255, false),
                               varchar("column_name", 255, false),
                               column("data_type", AseType::SmallInt, 0, false),
                               varchar("type_name", 32, false),
                               column("precision", AseType::Int, 0, true),
                               column("length", AseType::Int, 0, true),
                               column("scale", AseType::SmallInt, 0, true),
                               column("radix", AseType::SmallInt, 0, true),
                               column("nullable", AseType::SmallInt, 0, false),
                               varchar("remarks", 254),
                               column("ss_data_type", AseType::SmallInt, 0, true),
                               column("colid", AseType::SmallInt, 0, false),
                               varchar("column_def", 255),
                               column("sql_data_type", AseType::SmallInt, 0, true),
                               column("sql_datetime_sub", AseType::SmallInt, 0, true),
                               column("char_octet_length", AseType::Int, 0, true),
                               column("ordinal_position", AseType::Int, 0, false),
                               varchar("is_nullable", 3)});
    for (const TableInfo* table = tables.data(); table != tables.data() + tables.size(); ++table) {
        std::vector<Value> defaults(table->columns.size());
        Sql info{"SELECT dflt_value FROM pragma_table_info(?)", {}};
        Stored tableName;
        tableName.kind = Stored::Text;
        tableName.bytes = table->name;
        info.binds.push_back(tableName);
        int rc = 0;
        if (PreparedStatement s = prepare(db, info, rc))
            for (std::size_t i = 0; i < defaults.size() && sqlite3_step(s.get()) == SQLITE_ROW; ++i)
                if (const unsigned char* d = sqlite3_column_text(s.get(), 0))
                    defaults[i] = text("DEFAULT " + std::string(reinterpret_cast<const char*>(d)));
        for (std::size_t i = 0; i < table->columns.size(); ++i) {
            const ColumnInfo& c = table->columns[i];
            const bool exact = c.type == AseType::Numeric || c.type == AseType::Decimal;
            const std::int64_t place = std::int64_t(i + 1);
            if (!out.row({text(database_),
                          text(table->owner),
                          text(table->object),
                          text(c.name),
                          integer(odbcType(c)),
                          text(typeName(c.type)),
                          integer(odbcPrecision(c)),
                          integer(odbcLength(c)),
                          exact ? integer(c.scale) : Value::Null(),
                          exact || isInteger(c.type) ? integer(10) : Value::Null(),
                          integer(c.nullable ? 1 : 0),
                          Value::Null(),
                          Value::Null(),
                          integer(place),
                          defaults[i],
                          integer(odbcType(c)),
                          Value::Null(),
                          isString(c.type) ? integer(odbcLength(c)) : Value::Null(),
                          integer(place),
                          text(c.nullable ? "YES" : "NO")}))
                return stopped();
        }
    }
    out.finish();
    return true;
}

} // namespace tds::sqlite
