#include "db/dialect/tsql.h"

#include "db/odbc/dberror.h"

namespace db::tsql {
namespace {

const QString kSelectPrefix = QStringLiteral("SELECT * FROM ");

// Reads one "[...]" at `at`; moves `at` past it. Nothing for a bracket that never closes
// or an empty name.
std::optional<QString> readBracketed(const QString& text, qsizetype& at) {
    if (at >= text.size() || text[at] != QLatin1Char('['))
        return std::nullopt;
    QString name;
    for (qsizetype i = at + 1; i < text.size(); ++i) {
        if (text[i] != QLatin1Char(']')) {
            name += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == QLatin1Char(']')) {
            name += QLatin1Char(']');
            ++i;
            continue;
        }
        at = i + 1;
        if (name.isEmpty())
            return std::nullopt;
        return name;
    }
    return std::nullopt;
}

} // namespace

QString stringLiteral(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

QString compared(const QString& column, QLatin1String op, const QString& literal) {
    return quoteIdentifier(column) + QLatin1Char(' ') + op + QLatin1Char(' ') + literal;
}

QString containsText(const QString& column, const QString& text, bool atStart) {
    QString pattern = atStart ? QString() : QStringLiteral("%");
    for (const QChar c : text) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('[') ||
            c == QLatin1Char(']'))
            pattern += QLatin1Char('[') + c + QLatin1Char(']');
        else
            pattern += c;
    }
    pattern += QLatin1Char('%');
    return quoteIdentifier(column) + QLatin1String(" LIKE ") + stringLiteral(pattern);
}

QString isNull(const QString& column, bool null) {
    return quoteIdentifier(column) +
           (null ? QLatin1String(" IS NULL") : QLatin1String(" IS NOT NULL"));
}

QString whereAll(const QStringList& conditions) {
    return conditions.isEmpty()
               ? QString()
               : QLatin1String(" WHERE ") + conditions.join(QLatin1String(" AND "));
}

QString quoteIdentifier(const QString& identifier) {
    QString escaped = identifier;
    escaped.replace(QLatin1Char(']'), QLatin1String("]]"));
    return QLatin1Char('[') + escaped + QLatin1Char(']');
}

QString quoteTable(const QString& owner, const QString& name) {
    return owner.isEmpty() ? quoteIdentifier(name)
                           : quoteIdentifier(owner) + QLatin1Char('.') + quoteIdentifier(name);
}

QString selectAllFrom(const TableName& table) {
    return kSelectPrefix + table.sql();
}

std::optional<TableName> tableFromSelect(const QString& source) {
    if (!source.startsWith(kSelectPrefix))
        return std::nullopt;
    qsizetype at = kSelectPrefix.size();
    std::optional<QString> first = readBracketed(source, at);
    if (!first)
        return std::nullopt;
    if (at == source.size())
        return TableName{QString(), *first};
    if (source[at] != QLatin1Char('.'))
        return std::nullopt;
    ++at;
    std::optional<QString> second = readBracketed(source, at);
    if (!second || at != source.size())
        return std::nullopt;
    return TableName{*first, *second};
}

QString describeTable(const TableName& table) {
    return selectAllFrom(table) + QStringLiteral(" WHERE 1=0");
}

QString selectHeld(const TableName& table, bool count) {
    return (count ? QStringLiteral("SELECT count(*) FROM ") : kSelectPrefix) + table.sql() +
           QStringLiteral(" holdlock");
}

bool isLockTimeout(const DbError& error) {
    // The driver's time-out, SQLite's busy wait, Adaptive Server's lock wait (12205).
    return error.sqlState() == QLatin1String("HYT00") || error.nativeCode() == 12205 ||
           error.description().contains(QLatin1String("database is locked")) ||
           error.description().contains(QLatin1String("Timeout expired"));
}

bool isDeadlockVictim(const DbError& error) {
    return error.nativeCode() == 1205;
}

bool isCharsetRefusal(const DbError& error) {
    // FreeTDS's 2402: the text has characters the server's character set lacks.
    return error.nativeCode() == 2402 ||
           error.description().contains(QLatin1String("server's character set"));
}

} // namespace db::tsql
