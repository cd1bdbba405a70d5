#pragma once

// What the SQLite file says about a table: its columns with their Adaptive Server types,
// its keys, indexes and triggers.

#include "../backend.h"

#include <optional>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace tds::sqlite {

struct TableInfo {
    std::string name; // as the file spells it
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
std::optional<TableInfo> describeTable(sqlite3* db, const std::string& name);
int findColumn(const TableInfo& table, const std::string& column); // -1 when none

// Whole-table indexes on plain columns, the primary key first (a rowid key included).
std::vector<IndexInfo> tableIndexes(sqlite3* db, const TableInfo& table);
std::string primaryKeyName(const TableInfo& table);

// True when the table has a trigger on `event` ("INSERT", "UPDATE", "DELETE").
bool hasTrigger(sqlite3* db, const std::string& table, const std::string& event);

struct TableEntry {
    std::string name;
    bool view = false;
};
std::vector<TableEntry> listTables(sqlite3* db);

} // namespace tds::sqlite
