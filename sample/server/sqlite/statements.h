#pragma once

// The statements the server runs, as parsed from a batch.

#include "../backend.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace tds::sqlite {

struct Literal {
    enum Kind { Null, String, Number, Hex } kind = Null;
    std::string text; // String/Hex: the value; Number: as written, with its sign
};

struct Operand {
    bool column = false;
    std::string name; // the column, when `column`
    Literal literal;
};

struct Condition {
    enum Kind { Compare, IsNull, Like, And, Or, Not } kind = Compare;
    std::string op; // Compare: = <> != < > <= >= !< !>
    Operand left, right;
    bool negated = false; // IsNull: IS NOT NULL; Like: NOT LIKE
    Literal escape;       // Like: the ESCAPE character, when given
    std::vector<Condition> parts;
};

struct SelectItem {
    enum Kind { Star, Column, CountStar, Variable, Constant, Function } kind = Star;
    std::string name; // Function: lower-cased, without its parentheses
    Literal literal;
};

// A table as a statement names it: `[db.][owner.]name`; owner empty when not given.
struct TableRef {
    std::string owner;
    std::string name;
};

struct Select {
    std::vector<SelectItem> items;
    std::string table; // empty: no FROM
    std::string owner; // as written before the table's name, else empty
    std::optional<Condition> where;
    std::vector<std::pair<std::string, bool>> orderBy; // column, descending
    bool holdlock = false; // holdlock, or at isolation 3: the rows read stay locked
};

struct Update {
    std::string table;
    std::string owner;
    std::vector<std::pair<std::string, Literal>> set;
    std::optional<Condition> where;
};

struct Insert {
    std::string table;
    std::string owner;
    std::vector<std::string> columns; // empty: every column but identity and timestamp
    std::vector<Literal> values;
};

struct Delete {
    std::string table;
    std::string owner;
    std::optional<Condition> where;
};

struct Use {
    std::string database;
};
struct Begin {};
struct Commit {};
struct Rollback {};
struct SetOption {
    std::vector<std::string> words; // lower-cased words and numbers after SET
};
struct Execute {
    std::string procedure;
    std::vector<RpcParameter> parameters;
};

// grant/revoke of select, insert, delete and update (all: the four) on a table, its
// columns optional, to or from users or public.
struct Permission {
    bool revoke = false;
    std::vector<std::string> actions; // lower-cased: select, insert, delete, update
    std::string owner, table;
    std::vector<std::string> columns; // empty: the whole table
    std::vector<std::string> users;   // "public" for everyone
};

struct Statement;
struct If {
    std::string variable; // "@@trancount"
    std::string op;
    std::int64_t value = 0;
    std::shared_ptr<Statement> then;
};

struct Statement {
    std::variant<Select, Update, Insert, Delete, Use, Begin, Commit, Rollback, SetOption, Execute,
                 If, Permission>
        body;
};

struct ParsedBatch {
    std::vector<Statement> statements;
    std::optional<std::string> syntaxErrorNear; // set: nothing in the batch runs
};

ParsedBatch parseBatch(const std::string& batch);

} // namespace tds::sqlite
