// sp_columns, answered from the SQLite file's own catalog with Adaptive Server's result
// columns.

#include "session.h"

#include "catalogresult.h"
#include "types.h"

namespace tds::sqlite {

using namespace catalog;

// sp_columns: one row per column, in order, with its declared default (column_def) as
// the file's schema holds it.
bool SqliteSession::columns(const std::string& name, ResultSink& sink) {
    sqlite3* db = db_.get();
    const std::optional<TableInfo> table = describeTable(db, name);
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
    if (table) {
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
                          text("dbo"),
                          text(table->name),
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
