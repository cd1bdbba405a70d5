#pragma once

// A WHERE clause as SQLite SQL, with Adaptive Server's comparison rules: strings compare
// ignoring trailing blanks, literals are converted to the column's type first, "= NULL"
// is "IS NULL" (ansinull off), text and image compare only with IS NULL.

#include "handles.h"
#include "schema.h"
#include "statements.h"

#include <optional>

namespace tds::sqlite {

// Appends " WHERE ..." (nothing without a condition); a message when ASE refuses it.
std::optional<Message> appendWhere(const std::optional<Condition>& where, const TableInfo& table,
                                   Sql& sql);

} // namespace tds::sqlite
