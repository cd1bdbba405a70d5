// SELECT: rows stream to the client as SQLite steps, never gathered first.

#include "session.h"

#include "convert.h"
#include "messages.h"
#include "types.h"
#include "where.h"

namespace tds::sqlite {

namespace {

ColumnInfo plainColumn(AseType type, int length = 0) {
    ColumnInfo c;
    c.type = type;
    c.length = length;
    c.nullable = false;
    c.expression = true;
    return c;
}

// A text or image value longer than @@textsize goes out cut to it; a text on a character's
// boundary.
void cutToTextSize(Value& value, AseType type, std::int64_t textSize) {
    if (value.null || (type != AseType::Text && type != AseType::Image) ||
        std::int64_t(value.text.size()) <= textSize)
        return;
    std::size_t end = std::size_t(textSize);
    if (type == AseType::Text)
        while (end > 0 && (static_cast<unsigned char>(value.text[end]) & 0xC0) == 0x80)
            --end;
    value.text.resize(end);
}

} // namespace

SqliteSession::Flow SqliteSession::runVariables(const Select& select, ResultSink& sink) {
    std::vector<ColumnInfo> columns;
    std::vector<Value> row;
    for (const SelectItem& item : select.items) {
        if (item.kind == SelectItem::Variable) {
            if (item.name == "@@spid") {
                columns.push_back(plainColumn(AseType::SmallInt));
                row.push_back(Value::Integer(spid_));
            } else if (item.name == "@@trancount") {
                columns.push_back(plainColumn(AseType::Int));
                row.push_back(Value::Integer(trancount_));
            } else if (item.name == "@@tranchained") {
                columns.push_back(plainColumn(AseType::Int));
                row.push_back(Value::Integer(chained_ ? 1 : 0));
            } else if (item.name == "@@textsize") {
                columns.push_back(plainColumn(AseType::Int));
                row.push_back(Value::Integer(textSize_));
            } else if (item.name == "@@rowcount") {
                columns.push_back(plainColumn(AseType::Int));
                row.push_back(Value::Integer(rowcount_));
            } else if (item.name == "@@identity") {
                ColumnInfo number = plainColumn(AseType::Numeric);
                number.precision = 38;
                columns.push_back(number);
                row.push_back(Value::Text(std::to_string(identity_)));
            } else if (item.name == "@@client_csname") {
                // The login took the server's default set: FreeTDS names none.
                columns.push_back(plainColumn(AseType::VarChar, 30));
                columns.back().nullable = true;
                row.push_back(Value::Text(charsetName(shared_->options.charset)));
            } else if (item.name == "@@version") {
                const std::string v = "Adaptive Server Enterprise/16.0 (test server over SQLite)";
                columns.push_back(plainColumn(AseType::VarChar, 255));
                row.push_back(Value::Text(v));
            } else {
                return fail(msg::syntax(item.name), sink);
            }
        } else if (item.kind == SelectItem::Function) {
            ColumnInfo name = plainColumn(AseType::VarChar, 255);
            name.nullable = true;
            columns.push_back(name);
            if (item.name == "user_name")
                row.push_back(Value::Text(user_));
            else if (item.name == "show_role")
                row.push_back(saRole_ ? Value::Text("sa_role sso_role oper_role") : Value::Null());
            else
                return fail(msg::syntax(item.name), sink);
        } else if (item.kind == SelectItem::Constant) {
            const Literal& l = item.literal;
            if (l.kind == Literal::Number && l.text.find_first_of(".eE") == std::string::npos) {
                columns.push_back(plainColumn(AseType::Int));
                row.push_back(Value::Integer(std::atoll(l.text.c_str())));
            } else if (l.kind == Literal::Null) {
                columns.push_back(plainColumn(AseType::Int));
                columns.back().nullable = true;
                row.push_back(Value::Null());
            } else {
                columns.push_back(
                    plainColumn(AseType::VarChar, int(std::max<std::size_t>(l.text.size(), 1))));
                row.push_back(Value::Text(l.text.empty() ? " " : l.text));
            }
        } else {
            return fail(msg::syntax(item.name.empty() ? "*" : item.name), sink);
        }
    }
    sink.columns(columns);
    if (!sink.row(row))
        return Flow::Cancelled;
    rowcount_ = 1;
    sink.done(false, 1, false);
    return Flow::Next;
}

SqliteSession::Flow SqliteSession::runSelect(const Select& select, ResultSink& sink) {
    const std::optional<TableInfo> table = resolve(select.owner, select.table);
    if (!table)
        return fail(msg::notFound(select.table), sink);
    if (const Flow waited = waitForWriters(*table, sink); waited != Flow::Next)
        return waited;
    if (select.holdlock && trancount_ > 0)
        if (const Flow held = holdForTransaction(sink); held != Flow::Next)
            return held;
    std::vector<ColumnInfo> columns;
    Sql sql{"SELECT ", {}};
    const bool counting = select.items.size() == 1 && select.items[0].kind == SelectItem::CountStar;
    if (counting) {
        columns.push_back(plainColumn(AseType::Int));
        sql.text += "count(*)";
    }
    for (const SelectItem& item : select.items) {
        if (counting)
            break;
        if (item.kind == SelectItem::Star) {
            columns.insert(columns.end(), table->columns.begin(), table->columns.end());
        } else if (item.kind == SelectItem::Column) {
            const int i = findColumn(*table, item.name);
            if (i < 0)
                return fail(msg::invalidColumn(item.name), sink);
            columns.push_back(table->columns[std::size_t(i)]);
        } else {
            return fail(msg::syntax(item.kind == SelectItem::CountStar ? "count" : item.name),
                        sink);
        }
    }
    std::vector<int> read; // the table's columns the select list names
    for (const SelectItem& item : select.items)
        if (item.kind == SelectItem::Star)
            for (std::size_t i = 0; i < table->columns.size(); ++i)
                read.push_back(int(i));
        else if (item.kind == SelectItem::Column)
            read.push_back(findColumn(*table, item.name));
    if (auto refused = refusal(*table, "select", read))
        return fail(*refused, sink, Flow::Next);
    if (!counting)
        for (std::size_t i = 0; i < columns.size(); ++i)
            sql.text += (i ? ", " : "") + quoteName(columns[i].name);
    sql.text += " FROM " + quoteName(table->name);
    if (auto error = appendWhere(select.where, *table, sql))
        return fail(*error, sink);
    for (std::size_t i = 0; i < select.orderBy.size(); ++i) {
        const int c = findColumn(*table, select.orderBy[i].first);
        if (c < 0)
            return fail(msg::invalidColumn(select.orderBy[i].first), sink);
        if (isLarge(table->columns[std::size_t(c)].type))
            return fail(msg::notComparable(), sink);
        sql.text += (i ? ", " : " ORDER BY ") + quoteName(table->columns[std::size_t(c)].name) +
                    (select.orderBy[i].second ? " DESC" : "");
    }
    int rc = 0;
    PreparedStatement statement = prepare(db_.get(), sql, rc);
    if (!statement)
        return fail(msg::internal(sqlite3_errmsg(db_.get())), sink);
    // Allpages: the scan holds a shared lock on what it reads until it ends (isolation
    // level 1 drops it then; here the table stands for its pages).
    struct ReadLock {
        SqliteSession* session;
        std::string key;
        ~ReadLock() {
            if (session)
                session->holdRead(key, -1);
        }
    } readLock{nullptr, lockKey(*table)};
    if (shared_->allpagesReadLocks) {
        holdRead(readLock.key, 1);
        readLock.session = this;
    }
    // Each sort column's place in the ORDER BY, for the ORDERBY token.
    for (std::size_t i = 0; i < select.orderBy.size() && !counting; ++i) {
        const std::string& name =
            table->columns[std::size_t(findColumn(*table, select.orderBy[i].first))].name;
        for (ColumnInfo& c : columns)
            if (c.sortPlace == 0 && c.name == name) {
                c.sortPlace = int(i) + 1;
                break;
            }
    }
    sink.columns(columns);
    std::vector<Value> row(columns.size());
    std::int64_t count = 0;
    interruptible_ = true;
    while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
        if (counting) {
            row[0] = Value::Integer(sqlite3_column_int64(statement.get(), 0));
        } else {
            for (std::size_t i = 0; i < columns.size(); ++i) {
                row[i] = readValue(statement.get(), int(i), columns[i], shared_->options.charset);
                cutToTextSize(row[i], columns[i].type, textSize_);
            }
        }
        if (!sink.row(row)) {
            interruptible_ = false;
            return Flow::Cancelled;
        }
        ++count;
    }
    interruptible_ = false;
    if (busy_ == Busy::Cancelled)
        return Flow::Cancelled;
    if (rc != SQLITE_DONE)
        return fail(msg::internal(sqlite3_errmsg(db_.get())), sink);
    rowcount_ = count;
    sink.done(false, count, false);
    return Flow::Next;
}

} // namespace tds::sqlite
