// Owners and permissions: which table a name means for this session's user, and whether
// the user may read or change it. Grants are kept in the database file's `qv_protects`
// table (object, grantee, action, column, revoked), which no statement can name.

#include "session.h"

#include "messages.h"

#include <strings.h>

namespace tds::sqlite {

namespace {

bool same(const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

Stored bound(const std::string& text) {
    Stored v;
    v.kind = Stored::Text;
    v.bytes = text;
    return v;
}

std::string upper(std::string s) {
    for (char& c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

constexpr const char* kProtects =
    "CREATE TABLE IF NOT EXISTS qv_protects (object TEXT NOT NULL, grantee TEXT NOT NULL, "
    "action TEXT NOT NULL, col TEXT NOT NULL, revoked INTEGER NOT NULL)";

} // namespace

std::optional<TableInfo> SqliteSession::resolve(const std::string& owner, const std::string& name) {
    sqlite3* db = db_.get();
    if (!owner.empty())
        return describeTable(db, storedName(owner, name));
    if (!same(user_, "dbo"))
        if (std::optional<TableInfo> own = describeTable(db, storedName(user_, name)))
            return own;
    return describeTable(db, storedName("dbo", name));
}

bool SqliteSession::permitted(const TableInfo& table, const std::string& action,
                              const std::string& column) {
    return saRole_ || permittedFor(table, user_, action, column);
}

bool SqliteSession::permittedFor(const TableInfo& table, const std::string& user,
                                 const std::string& action, const std::string& column) {
    if (same(table.owner, user))
        return true;
    Sql sql{"SELECT grantee, col, revoked FROM qv_protects WHERE object = ? COLLATE NOCASE AND "
            "action = ? AND (grantee = ? COLLATE NOCASE OR grantee = 'public')",
            {bound(table.name), bound(action), bound(user)}};
    int rc = 0;
    PreparedStatement s = prepare(db_.get(), sql, rc);
    bool granted = false;
    bool revoked = false;
    while (s && sqlite3_step(s.get()) == SQLITE_ROW) {
        const auto* col = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 1));
        const std::string on = col ? col : "";
        if (!on.empty() && (column.empty() || !same(on, column)))
            continue; // a grant on another column, or on some columns only
        if (sqlite3_column_int(s.get(), 2) != 0)
            revoked = true;
        else
            granted = true;
    }
    return granted && !revoked;
}

std::optional<Message> SqliteSession::refusal(const TableInfo& table, const std::string& action,
                                              const std::vector<int>& columns) {
    const auto anyColumn = [&] {
        for (const ColumnInfo& c : table.columns)
            if (permitted(table, action, c.name))
                return true;
        return false;
    };
    // No right on the table nor on any of its columns: the table is refused (229);
    // a right on some columns only: the first column refused (230).
    if (columns.empty() || !anyColumn()) {
        if (permitted(table, action, ""))
            return std::nullopt;
        return msg::permissionDenied(upper(action), table.object, database_, table.owner);
    }
    for (const int c : columns) {
        const std::string& name = table.columns[std::size_t(c)].name;
        if (!permitted(table, action, name))
            return msg::columnPermissionDenied(upper(action), name, table.object, database_,
                                               table.owner);
    }
    return std::nullopt;
}

std::vector<std::string> SqliteSession::grantees(const TableInfo& table) {
    std::vector<std::string> users{table.owner};
    const auto add = [&](const std::string& user) {
        for (const std::string& u : users)
            if (same(u, user))
                return;
        users.push_back(user);
    };
    add(user_);
    Sql sql{"SELECT DISTINCT grantee FROM qv_protects WHERE object = ? COLLATE NOCASE AND "
            "grantee <> 'public' ORDER BY grantee",
            {bound(table.name)}};
    int rc = 0;
    PreparedStatement s = prepare(db_.get(), sql, rc);
    while (s && sqlite3_step(s.get()) == SQLITE_ROW)
        if (const unsigned char* g = sqlite3_column_text(s.get(), 0))
            add(reinterpret_cast<const char*>(g));
    return users;
}

SqliteSession::Flow SqliteSession::runPermission(const Permission& p, ResultSink& sink) {
    const std::optional<TableInfo> table = resolve(p.owner, p.table);
    if (!table)
        return fail(msg::notFound(p.table), sink);
    if (!saRole_ && !same(table->owner, user_))
        return fail(msg::permissionDenied(p.revoke ? "REVOKE" : "GRANT", table->object, database_,
                                          table->owner),
                    sink);
    for (const std::string& c : p.columns)
        if (findColumn(*table, c) < 0)
            return fail(msg::invalidColumn(c), sink);
    if (!exec(kProtects))
        return fail(msg::internal(sqlite3_errmsg(db_.get())), sink);
    const auto run = [&](const std::string& text, std::vector<Stored> binds) {
        int rc = 0;
        PreparedStatement s = prepare(db_.get(), Sql{text, std::move(binds)}, rc);
        return s && sqlite3_step(s.get()) == SQLITE_DONE;
    };
    const Stored object = bound(table->name);
    bool ok = true;
    for (const std::string& user : p.users)
        for (const std::string& action : p.actions) {
            const Stored who = bound(user), what = bound(action);
            if (p.columns.empty()) {
                // The whole table: earlier grants and revokes of its columns give way.
                ok = ok && run("DELETE FROM qv_protects WHERE object = ? AND grantee = ? COLLATE "
                               "NOCASE AND action = ?",
                               {object, who, what});
                if (!p.revoke)
                    ok = ok && run("INSERT INTO qv_protects VALUES (?, ?, ?, '', 0)",
                                   {object, who, what});
                else if (user != "public") // kept as a revoke when public holds a grant
                    ok = ok && run("INSERT INTO qv_protects SELECT ?, ?, ?, '', 1 WHERE EXISTS "
                                   "(SELECT 1 FROM qv_protects WHERE object = ?1 AND grantee = "
                                   "'public' AND action = ?3 AND revoked = 0)",
                                   {object, who, what});
                continue;
            }
            for (const std::string& column : p.columns) {
                const Stored col = bound(column);
                ok = ok && run("DELETE FROM qv_protects WHERE object = ? AND grantee = ? COLLATE "
                               "NOCASE AND action = ? AND col = ? COLLATE NOCASE",
                               {object, who, what, col});
                // A column revoked from a grant on the whole table is kept as a revoke.
                ok = ok && run(p.revoke ? "INSERT INTO qv_protects SELECT ?, ?, ?, ?, 1 WHERE "
                                          "EXISTS (SELECT 1 FROM qv_protects WHERE object = ?1 "
                                          "AND grantee = ?2 COLLATE NOCASE AND action = ?3 AND "
                                          "col = '' AND revoked = 0)"
                                        : "INSERT INTO qv_protects VALUES (?, ?, ?, ?, 0)",
                               {object, who, what, col});
            }
        }
    if (!ok)
        return fail(msg::internal(sqlite3_errmsg(db_.get())), sink);
    sink.done(false, std::nullopt, false);
    return Flow::Next;
}

} // namespace tds::sqlite
