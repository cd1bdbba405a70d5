#include "schema.h"

#include "handles.h"
#include "types.h"

#include <algorithm>
#include <cctype>
#include <strings.h>
#include <tuple>
#include <utility>

namespace tds::sqlite {

namespace {

std::string columnText(sqlite3_stmt* s, int i) {
    const unsigned char* p = sqlite3_column_text(s, i);
    return p ? reinterpret_cast<const char*>(p) : "";
}

PreparedStatement query(sqlite3* db, const std::string& text,
                        const std::vector<std::string>& args) {
    Sql sql{text, {}};
    for (const std::string& a : args) {
        Stored v;
        v.kind = Stored::Text;
        v.bytes = a;
        sql.binds.push_back(v);
    }
    int rc = 0;
    return prepare(db, sql, rc);
}

std::string upper(std::string s) {
    for (char& c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The owner and the name of a table the file holds under `stored`.
std::pair<std::string, std::string> splitStored(const std::string& stored) {
    const std::size_t dot = stored.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == stored.size())
        return {"dbo", stored};
    return {stored.substr(0, dot), stored.substr(dot + 1)};
}

} // namespace

std::string storedName(const std::string& owner, const std::string& name) {
    if (owner.empty() || strcasecmp(owner.c_str(), "dbo") == 0)
        return name.find('.') == std::string::npos ? name : std::string();
    return owner + "." + name;
}

std::optional<TableInfo> describeTable(sqlite3* db, const std::string& name) {
    PreparedStatement find =
        query(db,
              "SELECT name, type FROM sqlite_master WHERE type IN ('table','view') AND name = ? "
              "COLLATE NOCASE AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
              "AND name NOT LIKE 'qv\\_%' ESCAPE '\\'",
              {name});
    if (name.empty() || !find || sqlite3_step(find.get()) != SQLITE_ROW)
        return std::nullopt;
    TableInfo t;
    t.name = columnText(find.get(), 0);
    std::tie(t.owner, t.object) = splitStored(t.name);
    t.view = columnText(find.get(), 1) == "view";
    PreparedStatement cols =
        query(db, "SELECT name, type, \"notnull\", pk FROM pragma_table_info(?)", {t.name});
    std::vector<std::pair<int, std::string>> keys;
    while (cols && sqlite3_step(cols.get()) == SQLITE_ROW) {
        ColumnInfo c = columnFromDeclaration(columnText(cols.get(), 0), columnText(cols.get(), 1),
                                             sqlite3_column_int(cols.get(), 2) != 0);
        c.table = t.object;
        if (c.identity && t.identity < 0)
            t.identity = int(t.columns.size());
        if (c.type == AseType::Timestamp && t.timestamp < 0)
            t.timestamp = int(t.columns.size());
        if (const int pk = sqlite3_column_int(cols.get(), 3); pk > 0)
            keys.emplace_back(pk, c.name);
        t.columns.push_back(std::move(c));
    }
    std::sort(keys.begin(), keys.end());
    for (auto& k : keys)
        t.primaryKey.push_back(k.second);
    return t;
}

int findColumn(const TableInfo& table, const std::string& column) {
    for (std::size_t i = 0; i < table.columns.size(); ++i)
        if (strcasecmp(table.columns[i].name.c_str(), column.c_str()) == 0)
            return int(i);
    return -1;
}

std::string primaryKeyName(const TableInfo& table) {
    return table.object + "_pk";
}

std::vector<IndexInfo> tableIndexes(sqlite3* db, const TableInfo& table) {
    std::vector<IndexInfo> out;
    bool pkIndexed = false;
    PreparedStatement list =
        query(db, "SELECT name, \"unique\", origin, partial FROM pragma_index_list(?) ORDER BY seq",
              {table.name});
    while (list && sqlite3_step(list.get()) == SQLITE_ROW) {
        if (sqlite3_column_int(list.get(), 3) != 0)
            continue; // a partial index says nothing about the whole table
        IndexInfo ix;
        ix.name = columnText(list.get(), 0);
        ix.unique = sqlite3_column_int(list.get(), 1) != 0;
        ix.primaryKey = columnText(list.get(), 2) == "pk";
        bool plain = true;
        PreparedStatement cols =
            query(db, "SELECT cid, name FROM pragma_index_info(?) ORDER BY seqno", {ix.name});
        while (cols && sqlite3_step(cols.get()) == SQLITE_ROW) {
            if (sqlite3_column_int(cols.get(), 0) < 0)
                plain = false; // an expression
            ix.columns.push_back(columnText(cols.get(), 1));
        }
        if (!plain || ix.columns.empty())
            continue;
        if (ix.primaryKey) {
            pkIndexed = true;
            ix.name = primaryKeyName(table);
        }
        out.push_back(std::move(ix));
    }
    if (!pkIndexed && !table.primaryKey.empty()) // an INTEGER PRIMARY KEY has no index of its own
        out.push_back({primaryKeyName(table), true, true, table.primaryKey});
    std::stable_partition(out.begin(), out.end(), [](const IndexInfo& i) { return i.primaryKey; });
    return out;
}

bool hasTrigger(sqlite3* db, const std::string& table, const std::string& event) {
    PreparedStatement s = query(
        db, "SELECT sql FROM sqlite_master WHERE type = 'trigger' AND tbl_name = ? COLLATE NOCASE",
        {table});
    while (s && sqlite3_step(s.get()) == SQLITE_ROW) {
        // CREATE TRIGGER name [BEFORE|AFTER|INSTEAD OF] event [OF cols] ON table ...
        const std::string sql = upper(columnText(s.get(), 0));
        const std::size_t on = sql.find(" ON ");
        const std::string head = sql.substr(0, on);
        auto blank = [&](std::size_t i) {
            return i >= head.size() || std::isspace(static_cast<unsigned char>(head[i]));
        };
        for (std::size_t at = head.find(event); at != std::string::npos;
             at = head.find(event, at + 1))
            if (at > 0 && blank(at - 1) && blank(at + event.size()))
                return true;
    }
    return false;
}

std::vector<TableEntry> listTables(sqlite3* db) {
    std::vector<TableEntry> out;
    PreparedStatement s = query(db,
                                "SELECT name, type FROM sqlite_master WHERE type IN "
                                "('table','view') AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
                                "AND name NOT LIKE 'qv\\_%' ESCAPE '\\'",
                                {});
    while (s && sqlite3_step(s.get()) == SQLITE_ROW) {
        TableEntry e{columnText(s.get(), 0), columnText(s.get(), 1) == "view", {}, {}};
        std::tie(e.owner, e.object) = splitStored(e.name);
        out.push_back(std::move(e));
    }
    return out;
}

// LIKE with % and _, case-insensitive, without backtracking into every '%'.
bool matchesPattern(const std::string& pattern, const std::string& s) {
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

} // namespace tds::sqlite
