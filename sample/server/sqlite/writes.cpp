// INSERT, UPDATE and DELETE: each atomic, with its triggers' counts reported first, and
// SQLite's refusals turned into Adaptive Server's messages.

#include "session.h"

#include "convert.h"
#include "messages.h"
#include "types.h"
#include "where.h"

namespace tds::sqlite {

namespace {

// "UNIQUE constraint failed: t.a, t.b" -> {"a", "b"}; "NOT NULL constraint failed: t.a".
std::vector<std::string> failedColumns(const std::string& text) {
    std::vector<std::string> out;
    const std::size_t colon = text.find(": ");
    if (colon == std::string::npos)
        return out;
    std::string rest = text.substr(colon + 2);
    std::size_t start = 0;
    while (start < rest.size()) {
        std::size_t end = rest.find(", ", start);
        if (end == std::string::npos)
            end = rest.size();
        std::string part = rest.substr(start, end - start);
        const std::size_t dot = part.find('.');
        out.push_back(dot == std::string::npos ? part : part.substr(dot + 1));
        start = end + 2;
    }
    return out;
}

Message constraintMessage(sqlite3* db, int rc, const TableInfo& table, const char* event,
                          const std::string& database) {
    const std::string text = sqlite3_errmsg(db);
    switch (rc) {
    case SQLITE_CONSTRAINT_PRIMARYKEY:
    case SQLITE_CONSTRAINT_UNIQUE: {
        const std::vector<std::string> columns = failedColumns(text);
        std::string index = primaryKeyName(table);
        for (const IndexInfo& ix : tableIndexes(db, table))
            if (ix.unique && ix.columns == columns)
                index = ix.name;
        return msg::duplicateKey(table.object, index);
    }
    case SQLITE_CONSTRAINT_NOTNULL: {
        const std::vector<std::string> columns = failedColumns(text);
        return msg::nullNotAllowed(columns.empty() ? std::string() : columns.front(), table.object);
    }
    case SQLITE_CONSTRAINT_FOREIGNKEY:
        return std::string(event) == "DELETE" ? msg::dependentKey(database, table.object)
                                              : msg::foreignKey(database, table.object);
    case SQLITE_CONSTRAINT_CHECK:
        return msg::checkViolation(database, table.object);
    case SQLITE_CONSTRAINT_TRIGGER:
        return msg::raised(text); // the trigger's own RAISE text
    default:
        return msg::internal(text);
    }
}

// The identity value of the row the INSERT just added (its rowid is the statement's own
// even when a trigger inserted more); 0 for a table without an identity column.
// The identity value of the row `rowid` of `table`; 0 when it has no identity column.
std::int64_t identityOf(sqlite3* db, const TableInfo& table, std::int64_t rowid) {
    if (table.identity < 0)
        return 0;
    Sql sql{"SELECT " + quoteName(table.columns[std::size_t(table.identity)].name) + " FROM " +
                quoteName(table.name) + " WHERE rowid = " + std::to_string(rowid),
            {}};
    int rc = 0;
    PreparedStatement statement = prepare(db, sql, rc);
    if (!statement || sqlite3_step(statement.get()) != SQLITE_ROW)
        return 0;
    return sqlite3_column_int64(statement.get(), 0);
}

} // namespace

std::int64_t SqliteSession::lastIdentity() {
    // The last row added into a table with an identity column, a trigger's included: an
    // insert whose trigger adds a row to another identity table leaves that table's value.
    for (auto it = inserted_.rbegin(); it != inserted_.rend(); ++it) {
        const std::optional<TableInfo> table = describeTable(db_.get(), it->first);
        if (table && table->identity >= 0)
            return identityOf(db_.get(), *table, it->second);
    }
    return 0;
}

SqliteSession::Flow SqliteSession::conversionFailed(const Message& message, ResultSink& sink) {
    if (message.number == 247) {
        // arithabort arith_overflow is on: the transaction goes, and the rest of the batch.
        rollbackAll();
        return fail(message, sink);
    }
    return fail(message, sink, Flow::Next); // loss of scale and the like: the statement only
}

SqliteSession::Flow SqliteSession::runUpdate(const Update& update, ResultSink& sink) {
    const std::optional<TableInfo> table = resolve(update.owner, update.table);
    if (!table)
        return fail(msg::notFound(update.table), sink);
    std::vector<int> changed;
    for (const auto& [column, value] : update.set)
        if (const int c = findColumn(*table, column); c >= 0)
            changed.push_back(c);
    if (auto refused = refusal(*table, "update", changed))
        return fail(*refused, sink, Flow::Next);
    Sql sql{"UPDATE " + quoteName(table->name) + " SET ", {}};
    for (std::size_t i = 0; i < update.set.size(); ++i) {
        const int c = findColumn(*table, update.set[i].first);
        if (c < 0)
            return fail(msg::invalidColumn(update.set[i].first), sink);
        if (c == table->timestamp)
            return fail(msg::timestampUpdate(), sink);
        const ColumnInfo& info = table->columns[std::size_t(c)];
        Converted v = toStored(update.set[i].second, info, shared_->options.charset);
        if (v.error)
            return conversionFailed(*v.error, sink);
        sql.text += (i ? ", " : "") + quoteName(info.name) + " = ?";
        sql.binds.push_back(std::move(v.value));
    }
    if (table->timestamp >= 0) // a new database timestamp on every change
        sql.text += ", " + quoteName(table->columns[std::size_t(table->timestamp)].name) +
                    " = qv_timestamp()";
    if (auto error = appendWhere(update.where, *table, sql))
        return fail(*error, sink);
    return runWrite(sql, *table, "UPDATE", sink);
}

SqliteSession::Flow SqliteSession::runInsert(const Insert& insert, ResultSink& sink) {
    const std::optional<TableInfo> table = resolve(insert.owner, insert.table);
    if (!table)
        return fail(msg::notFound(insert.table), sink);
    if (auto refused = refusal(*table, "insert", {}))
        return fail(*refused, sink, Flow::Next);
    std::vector<int> targets;
    if (insert.columns.empty()) {
        for (std::size_t i = 0; i < table->columns.size(); ++i)
            if (int(i) != table->identity && int(i) != table->timestamp)
                targets.push_back(int(i));
    } else {
        for (const std::string& name : insert.columns) {
            const int c = findColumn(*table, name);
            if (c < 0)
                return fail(msg::invalidColumn(name), sink);
            if (c == table->identity)
                return fail(msg::identityInsert(table->object), sink);
            if (c == table->timestamp)
                return fail(msg::timestampUpdate(), sink);
            targets.push_back(c);
        }
    }
    if (targets.size() != insert.values.size())
        return fail(msg::insertMismatch(), sink);
    Sql sql{"INSERT INTO " + quoteName(table->name) + " (", {}};
    std::string values;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const ColumnInfo& info = table->columns[std::size_t(targets[i])];
        Converted v = toStored(insert.values[i], info, shared_->options.charset);
        if (v.error)
            return conversionFailed(*v.error, sink);
        sql.text += (i ? ", " : "") + quoteName(info.name);
        values += i ? ", ?" : "?";
        sql.binds.push_back(std::move(v.value));
    }
    auto extra = [&](int column, const std::string& value) {
        if (column < 0)
            return;
        sql.text += (sql.binds.empty() && values.empty() ? "" : ", ") +
                    quoteName(table->columns[std::size_t(column)].name);
        values += (values.empty() ? "" : ", ") + value;
    };
    if (table->identity >= 0) {
        const std::string id = quoteName(table->columns[std::size_t(table->identity)].name);
        extra(table->identity,
              "(SELECT coalesce(max(" + id + "), 0) + 1 FROM " + quoteName(table->name) + ")");
    }
    extra(table->timestamp, "qv_timestamp()");
    sql.text += ") VALUES (" + values + ")";
    return runWrite(sql, *table, "INSERT", sink);
}

SqliteSession::Flow SqliteSession::runDelete(const Delete& remove, ResultSink& sink) {
    const std::optional<TableInfo> table = resolve(remove.owner, remove.table);
    if (!table)
        return fail(msg::notFound(remove.table), sink);
    if (auto refused = refusal(*table, "delete", {}))
        return fail(*refused, sink, Flow::Next);
    Sql sql{"DELETE FROM " + quoteName(table->name), {}};
    if (auto error = appendWhere(remove.where, *table, sql))
        return fail(*error, sink);
    return runWrite(sql, *table, "DELETE", sink);
}

SqliteSession::Flow SqliteSession::runWrite(const Sql& sql, const TableInfo& table,
                                            const char* event, ResultSink& sink) {
    sqlite3* db = db_.get();
    const bool triggered = hasTrigger(db, table.name, event);
    if (const Flow waited = waitForReaders(table, sink); waited != Flow::Next)
        return waited;
    for (int attempt = 0;; ++attempt) {
        // A savepoint makes the statement all or nothing, also when a trigger fails
        // half-way; outside a transaction it is the statement's own transaction.
        if (!exec("SAVEPOINT qv_statement"))
            return fail(msg::internal(sqlite3_errmsg(db)), sink);
        const sqlite3_int64 before = sqlite3_total_changes64(db);
        inserted_.clear();
        int rc = 0;
        PreparedStatement statement = prepare(db, sql, rc);
        if (statement)
            while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
            }
        if (rc == SQLITE_DONE && sink.cancelled()) {
            // The client cancelled while the statement ran: it is undone, as an attention
            // aborts the command, and the transaction stays.
            statement.reset();
            exec("ROLLBACK TO qv_statement");
            exec("RELEASE qv_statement");
            return Flow::Cancelled;
        }
        if (rc == SQLITE_DONE) {
            const sqlite3_int64 changed = sqlite3_changes64(db);
            const sqlite3_int64 byTriggers = sqlite3_total_changes64(db) - before - changed;
            statement.reset();
            exec("RELEASE qv_statement");
            if (trancount_ > 0) {
                wrote_ = true;
                holdTable(table);
            }
            rowcount_ = changed;
            if (std::string(event) == "INSERT")
                identity_ = lastIdentity();
            if (triggered)
                sink.done(true, byTriggers, false);
            sink.done(false, changed, false);
            return Flow::Next;
        }
        const int extended = sqlite3_extended_errcode(db);
        const Message message = constraintMessage(db, extended, table, event, database_);
        const std::string engineText = sqlite3_errmsg(db);
        statement.reset();
        if (busy_ == Busy::Cancelled) { // while it waited for a lock: nothing more is sent
            exec("ROLLBACK TO qv_statement");
            exec("RELEASE qv_statement");
            return Flow::Cancelled;
        }
        if (sqlite3_get_autocommit(db)) {
            // A trigger's RAISE(ROLLBACK) ended the whole transaction, as a trigger's
            // rollback transaction does: the batch ends with it.
            trancount_ = 0;
            wrote_ = false;
            releaseTables();
            return fail(message, sink);
        }
        exec("ROLLBACK TO qv_statement");
        exec("RELEASE qv_statement");
        if ((rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED) {
            if (busy_ == Busy::TimedOut) {
                rollbackAll();
                return fail(msg::lockTimeout(lockWaitSeconds_, spid_), sink);
            }
            if ((extended == SQLITE_BUSY_SNAPSHOT || busy_ == Busy::None) && !wrote_ &&
                attempt < 3) {
                // Only reads so far, and reads hold no locks at isolation level 1: give
                // up the snapshot they read from and wait for the lock like any writer.
                if (trancount_ > 0) {
                    exec("ROLLBACK");
                    exec("BEGIN");
                }
                continue;
            }
            rollbackAll();
            return fail(msg::deadlock(spid_), sink);
        }
        if ((rc & 0xff) == SQLITE_CONSTRAINT)
            return fail(message, sink, Flow::Next);
        return fail(msg::internal(engineText), sink, Flow::Next);
    }
}

} // namespace tds::sqlite
