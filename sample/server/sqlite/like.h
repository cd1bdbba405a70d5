#pragma once

// Adaptive Server's LIKE over SQLite: `qv_like(value, pattern, escape)` answers 1 when the
// value matches, 0 when not, NULL for a NULL value. `%` any run of characters, `_` one,
// `[abc]`, `[a-c]`, `[^abc]` one of (or none of) a set, `[]]` a "]" and `[[]` a "[";
// the escape character (NULL: none) makes the next character stand for itself.
// Characters compare exactly (the binary sort order).

#include <sqlite3.h>

#include <string_view>

namespace tds::sqlite {

bool likeMatches(std::string_view value, std::string_view pattern, std::string_view escape);

void registerLikeFunction(sqlite3* db);

} // namespace tds::sqlite
