#pragma once

// What the SQLite file says about a table: its columns with their Adaptive Server types,
// its keys, indexes and triggers.

#include "../backend.h"

#include <optional>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace tds::sqlite {

// Tables belong to users: dbo's are kept in the file under their own names, another
// user's as "<owner>.<name>" (a table of dbo's cannot have a dot in its name).
struct TableInfo {
    std::string name;          // as the file spells it
    std::string owner = "dbo"; // the user who owns it
    std::string object;        // its name without the owner
    bool view = false;
    std::vector<ColumnInfo> columns;
    int identity = -1;                   // column index
    int timestamp = -1;                  // column index
    std::vector<std::string> primaryKey; // in key order
};

struct IndexInfo {
    std::string name;
    bool unique = false;
    bool primaryKey = false;
    std::vector<std::string> columns;
};

// nullopt when there is no such table or view (names compare case-insensitively).
// `name` is the file's name: storedName() for an owner's table.
std::optional<TableInfo> describeTable(sqlite3* db, const std::string& name);
// The file's name of `owner`'s table `name`.
std::string storedName(const std::string& owner, const std::string& name);
int findColumn(const TableInfo& table, const std::string& column); // -1 when none

// Whole-table indexes on plain columns, the primary key first (a rowid key included).
std::vector<IndexInfo> tableIndexes(sqlite3* db, const TableInfo& table);
std::string primaryKeyName(const TableInfo& table);

// True when the table has a trigger on `event` ("INSERT", "UPDATE", "DELETE").
bool hasTrigger(sqlite3* db, const std::string& table, const std::string& event);

struct TableEntry {
    std::string name; // the file's name
    bool view = false;
    std::string owner = "dbo";
    std::string object;
};
std::vector<TableEntry> listTables(sqlite3* db);

// LIKE with % and _, case-insensitive (the catalog procedures' name patterns).
bool matchesPattern(const std::string& pattern, const std::string& s);

} // namespace tds::sqlite
