#pragma once

// A table as the program names it to the server. A table whose bare name leads to it for
// this login (the login's own, else the database owner's) is named bare, as the user
// sees it in the list; any other (another user's, or dbo's where the login has one of the
// same name) is named with its owner, so that no name reaches a different table.

#include <QString>
#include <optional>

namespace db {

struct TableName {
    QString owner; // empty: the bare name, resolved by the server for this login
    QString name;

    // "[owner].[name]" or "[name]", each "]" doubled.
    QString sql() const;
    // "owner.name" or "name", as the list shows it.
    QString shown() const;
    bool operator==(const TableName&) const = default;
};

// An identifier in brackets, each "]" doubled.
QString bracketed(const QString& identifier);

// "SELECT * FROM " and the table's name.
QString tableQuery(const TableName& table);

// The table of a source of the form "SELECT * FROM [name]" or "SELECT * FROM
// [owner].[name]" ("]" doubled inside the brackets); nothing for any other text.
std::optional<TableName> tableNameFromSource(const QString& source);

// Whether the bare name of `owner`'s table leads to it for the database user `user`:
// the user's own table, or dbo's when the user has none of that name (`userHasOne`).
bool bareNameLeadsTo(const QString& owner, const QString& user, bool userHasOne);

} // namespace db
