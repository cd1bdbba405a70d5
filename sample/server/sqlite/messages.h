#pragma once

// Adaptive Server's messages: number, severity, SQLSTATE and text as its sysmessages has
// them (the texts with their parameters filled in).

#include "../backend.h"

#include <string>

namespace tds::sqlite::msg {

Message syntax(const std::string& near);                                                    // 102
Message invalidColumn(const std::string& column);                                           // 207
Message notFound(const std::string& object);                                                // 208
Message insertMismatch();                                                                   // 213
Message nullNotAllowed(const std::string& column, const std::string& table);                // 233
Message scaleError(const std::string& value);                                               // 241
Message overflow(const std::string& from, const std::string& value, const std::string& to); // 247
Message conversionSyntax(const std::string& value, const std::string& to);                  // 249
Message notAllowed(const std::string& from, const std::string& to);                         // 257
Message timestampUpdate();                                                                  // 272
Message notComparable();                                                                    // 306
Message identityInsert(const std::string& table);                                           // 584
Message foreignKey(const std::string& db, const std::string& table);                        // 546
Message dependentKey(const std::string& db, const std::string& table);                      // 547
Message checkViolation(const std::string& db, const std::string& table);                    // 548
Message useInTransaction();                                                                 // 226
Message chainedInTransaction();                                                             // 226
Message unchainedOnly(const std::string& procedure);                                        // 7713
Message catalogInTransaction(const std::string& procedure); // 20001, the procedure's own
Message noDatabase(const std::string& name);                // 911
Message deadlock(int spid);                                 // 1205
Message noProcedure(const std::string& name);               // 2812
Message duplicateKey(const std::string& table, const std::string& index); // 2601
Message commitWithoutBegin();                                             // 3902
Message rollbackWithoutBegin();                                           // 3903
Message lockTimeout(int seconds, int spid);                               // 12205
Message raised(const std::string& text);                                  // 20000, a trigger's own
Message internal(const std::string& text); // anything else the engine says
// 229: `action` ("SELECT", "UPDATE", ...) refused on a table; 230: on one of its columns.
Message permissionDenied(const std::string& action, const std::string& object,
                         const std::string& database, const std::string& owner);
Message columnPermissionDenied(const std::string& action, const std::string& column,
                               const std::string& object, const std::string& database,
                               const std::string& owner);

} // namespace tds::sqlite::msg
