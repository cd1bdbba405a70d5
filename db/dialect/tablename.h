#pragma once

// A table as the program names it to the server. A table whose bare name leads to it for
// this login (the login's own, else the database owner's) is named bare, as the user
// sees it in the list; any other (another user's, or dbo's where the login has one of the
// same name) is named with its owner, so that no name reaches a different table.

#include <QString>

namespace db {

struct TableName {
    QString owner; // empty: the bare name, resolved by the server for this login
    QString name;

    // As the server's dialect quotes it: "[owner].[name]" or "[name]", each "]" doubled.
    QString sql() const;
    // "owner.name" or "name", as the list shows it.
    QString shown() const;
    bool operator==(const TableName&) const = default;
};

// Whether the bare name of `owner`'s table leads to it for the database user `user`:
// the user's own table, or dbo's when the user has none of that name (`userHasOne`).
bool bareNameLeadsTo(const QString& owner, const QString& user, bool userHasOne);

} // namespace db
