#include "where.h"

#include "convert.h"
#include "messages.h"
#include "types.h"

#include <cstdlib>

namespace tds::sqlite {

namespace {

std::string sqliteOp(const std::string& op) {
    if (op == "!=")
        return "<>";
    if (op == "!<")
        return ">=";
    if (op == "!>")
        return "<=";
    return op;
}

std::string flipped(const std::string& op) {
    if (op == "<")
        return ">";
    if (op == ">")
        return "<";
    if (op == "<=")
        return ">=";
    if (op == ">=")
        return "<=";
    if (op == "!<")
        return "!>";
    if (op == "!>")
        return "!<";
    return op;
}

bool ordering(const std::string& op) {
    return op != "=" && op != "<>";
}

std::string columnSql(const ColumnInfo& c) {
    if (comparesCanonically(c))
        return "qv_canon(" + quoteName(c.name) + "," + std::to_string(int(c.type)) + "," +
               std::to_string(c.scale) + ")";
    return quoteName(c.name);
}

// Two literals: only numbers with numbers and strings with strings.
std::optional<Message> constant(const Literal& a, const std::string& op, const Literal& b,
                                Sql& sql) {
    if (a.kind == Literal::Null || b.kind == Literal::Null) {
        sql.text += (op == "=") == (a.kind == b.kind) ? "1" : "0";
        return std::nullopt;
    }
    if ((a.kind == Literal::Number) != (b.kind == Literal::Number))
        return msg::notAllowed(a.kind == Literal::Number ? "int" : "varchar",
                               b.kind == Literal::Number ? "int" : "varchar");
    int cmp = 0;
    if (a.kind == Literal::Number) {
        const double x = std::strtod(a.text.c_str(), nullptr),
                     y = std::strtod(b.text.c_str(), nullptr);
        cmp = x < y ? -1 : x > y ? 1 : 0;
    } else {
        std::string x = a.text, y = b.text;
        x.erase(x.find_last_not_of(' ') + 1);
        y.erase(y.find_last_not_of(' ') + 1);
        cmp = x.compare(y);
    }
    const bool holds = op == "="    ? cmp == 0
                       : op == "<"  ? cmp < 0
                       : op == ">"  ? cmp > 0
                       : op == "<=" ? cmp <= 0
                       : op == ">=" ? cmp >= 0
                                    : cmp != 0;
    sql.text += holds ? "1" : "0";
    return std::nullopt;
}

std::optional<Message> compare(const Condition& c, const TableInfo& table, Sql& sql) {
    const Operand* col = &c.left;
    const Operand* other = &c.right;
    std::string op = sqliteOp(c.op);
    if (!col->column && !other->column)
        return constant(col->literal, op, other->literal, sql);
    if (!col->column) {
        std::swap(col, other);
        op = sqliteOp(flipped(c.op));
    }
    const int index = findColumn(table, col->name);
    if (index < 0)
        return msg::invalidColumn(col->name);
    const ColumnInfo& info = table.columns[std::size_t(index)];
    if (isLarge(info.type))
        return msg::notComparable();
    if (other->column) {
        const int j = findColumn(table, other->name);
        if (j < 0)
            return msg::invalidColumn(other->name);
        const ColumnInfo& second = table.columns[std::size_t(j)];
        if (isLarge(second.type))
            return msg::notComparable();
        sql.text += columnSql(info) + " " + op + " " + columnSql(second);
        if (isString(info.type))
            sql.text += " COLLATE RTRIM";
        return std::nullopt;
    }
    if (other->literal.kind == Literal::Null) { // ansinull off: "= NULL" finds the NULLs
        sql.text += op == "="    ? quoteName(info.name) + " IS NULL"
                    : op == "<>" ? quoteName(info.name) + " IS NOT NULL"
                                 : "0";
        return std::nullopt;
    }
    Converted v = toCompared(other->literal, info);
    if (v.error)
        return v.error;
    if (v.neverEqual) {
        if (!ordering(op)) {
            sql.text += op == "=" ? "0" : quoteName(info.name) + " IS NOT NULL";
            return std::nullopt;
        }
        v.value.kind = Stored::Real;
        v.value.real = std::strtod(other->literal.text.c_str(), nullptr);
        sql.text += quoteName(info.name) + " " + op + " ?";
        sql.binds.push_back(v.value);
        return std::nullopt;
    }
    // Exact numbers order by value, not as their canonical text would.
    if (ordering(op) && isExactNumeric(info.type) && comparesCanonically(info))
        sql.text += "qv_deccmp(" + columnSql(info) + ", ?) " + op + " 0";
    else
        sql.text += columnSql(info) + " " + op + " ?";
    if (isString(info.type))
        sql.text += " COLLATE RTRIM";
    sql.binds.push_back(v.value);
    return std::nullopt;
}

// ASE's LIKE through qv_like (like.h): strings only, a string pattern, one escape character.
std::optional<Message> like(const Condition& c, const TableInfo& table, Sql& sql) {
    if (!c.left.column || c.right.column || c.right.literal.kind != Literal::String)
        return msg::notAllowed("int", "varchar");
    const int index = findColumn(table, c.left.name);
    if (index < 0)
        return msg::invalidColumn(c.left.name);
    const ColumnInfo& info = table.columns[std::size_t(index)];
    if (!isString(info.type))
        return msg::notAllowed(typeName(info.type), "varchar");
    sql.text +=
        std::string(c.negated ? "NOT " : "") + "qv_like(" + quoteName(info.name) + ", ?, ?)";
    Stored pattern;
    pattern.kind = Stored::Text;
    pattern.bytes = c.right.literal.text;
    sql.binds.push_back(pattern);
    Stored escape;
    if (c.escape.kind == Literal::String) {
        escape.kind = Stored::Text;
        escape.bytes = c.escape.text;
    }
    sql.binds.push_back(escape);
    return std::nullopt;
}

std::optional<Message> condition(const Condition& c, const TableInfo& table, Sql& sql) {
    switch (c.kind) {
    case Condition::Compare:
        return compare(c, table, sql);
    case Condition::Like:
        return like(c, table, sql);
    case Condition::IsNull: {
        if (!c.left.column) {
            sql.text += (c.left.literal.kind == Literal::Null) != c.negated ? "1" : "0";
            return std::nullopt;
        }
        const int index = findColumn(table, c.left.name);
        if (index < 0)
            return msg::invalidColumn(c.left.name);
        sql.text += quoteName(table.columns[std::size_t(index)].name) +
                    (c.negated ? " IS NOT NULL" : " IS NULL");
        return std::nullopt;
    }
    case Condition::Not: {
        sql.text += "NOT (";
        if (auto e = condition(c.parts.front(), table, sql))
            return e;
        sql.text += ")";
        return std::nullopt;
    }
    case Condition::And:
    case Condition::Or: {
        for (std::size_t i = 0; i < c.parts.size(); ++i) {
            if (i > 0)
                sql.text += c.kind == Condition::And ? " AND " : " OR ";
            sql.text += "(";
            if (auto e = condition(c.parts[i], table, sql))
                return e;
            sql.text += ")";
        }
        return std::nullopt;
    }
    }
    return std::nullopt;
}

} // namespace

std::optional<Message> appendWhere(const std::optional<Condition>& where, const TableInfo& table,
                                   Sql& sql) {
    if (!where)
        return std::nullopt;
    sql.text += " WHERE ";
    return condition(*where, table, sql);
}

} // namespace tds::sqlite
