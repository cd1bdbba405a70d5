#pragma once

// Everything the program says to the server in Transact-SQL, and the numbers and words by
// which Adaptive Server and the FreeTDS driver answer: how a name is quoted, the select of
// a table and the table read back from it, the transaction texts, the session's facts, the
// error numbers of a lock wait, a deadlock and a character the server's set lacks, and the
// type code FreeTDS gives a time column. A second server product starts here.

#include "db/dialect/tablename.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace db {

class DbError;

namespace tsql {

// An identifier in brackets, each "]" doubled.
QString quoteIdentifier(const QString& identifier);
// "[owner].[name]", or "[name]" without an owner.
QString quoteTable(const QString& owner, const QString& name);

// "SELECT * FROM " and the table's name: the source of a table's rows.
QString selectAllFrom(const TableName& table);
// The table of a source of the form "SELECT * FROM [name]" or "SELECT * FROM
// [owner].[name]" ("]" doubled inside the brackets); nothing for any other text.
std::optional<TableName> tableFromSelect(const QString& source);
// The table's select answering no row: its description only.
QString describeTable(const TableName& table);
// The table's rows (or their count, with `count`) read inside a write's transaction,
// holding shared locks until it ends (holdlock) so that what was read stays so.
QString selectHeld(const TableName& table, bool count);

// A text as a string literal: in single quotation marks, each one inside doubled.
QString stringLiteral(const QString& text);
// The column's value compared with a literal (or a number's text): "[c] >= 5".
// `op` is one of "=", "<>", "<", "<=", ">", ">=".
QString compared(const QString& column, QLatin1String op, const QString& literal);
// The column's text holding `text` anywhere, or at its start, matched with LIKE: the
// pattern characters of `text` ("%", "_", "[", "]") each in square brackets, so that they
// stand for themselves (Adaptive Server's own escape, a Transact-SQL extension).
QString containsText(const QString& column, const QString& text, bool atStart);
QString isNull(const QString& column, bool null);
// " WHERE " and the conditions joined by AND; empty for none.
QString whereAll(const QStringList& conditions);

// A write's transaction, opened and ended by statements of the program's own.
inline constexpr QLatin1String kBeginTransaction("BEGIN TRANSACTION");
inline constexpr QLatin1String kCommitTransaction("COMMIT TRANSACTION");
// Rolls back whatever transaction is still open; nothing when the server ended it itself.
inline constexpr QLatin1String kRollbackOpenTransaction("IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION");
// One integer: how many transactions the session holds open.
inline constexpr QLatin1String kTransactionCount("SELECT @@TRANCOUNT");
// One number: the identity the session's last insert took (a trigger's included).
inline constexpr QLatin1String kLastIdentity("SELECT @@identity");

// Unchained mode, in which every statement outside "BEGIN TRANSACTION" commits itself.
inline constexpr QLatin1String kUnchainSession("set chained off");
// One row: chained (integer), open transactions (integer), the database user (text),
// the text size (integer), the login's roles (text, "sa_role ...").
inline constexpr QLatin1String
    kSessionFacts("select @@tranchained, @@trancount, user_name(), @@textsize, show_role()");
// The role that passes every permission check, as the session's roles name it.
inline constexpr QLatin1String kSystemAdministratorRole("sa_role");
// One text: the character set the server sends to this client in.
inline constexpr QLatin1String kClientCharset("select @@client_csname");

// The server's lock wait or the driver's time-out ran out.
bool isLockTimeout(const DbError& error);
// The server chose this session's transaction as a deadlock's victim and rolled it back
// whole.
bool isDeadlockVictim(const DbError& error);
// The driver refused a text with characters the server's character set lacks.
bool isCharsetRefusal(const DbError& error);

// The type code FreeTDS gives a time column (SQL_SS_TIME2, not a standard ODBC code).
inline constexpr short kTimeType = -154;

} // namespace tsql
} // namespace db
