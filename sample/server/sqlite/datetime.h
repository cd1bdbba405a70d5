#pragma once

// Date and time literals as Adaptive Server reads them, kept in the canonical text the
// server stores and returns: datetime "YYYY-MM-DD hh:mm:ss.fff" (1/300 s), bigdatetime
// with 6 digits, date "YYYY-MM-DD", time "hh:mm:ss.fff".

#include "../backend.h"

#include <optional>
#include <string>

namespace tds::sqlite {

// `literal` converted to the column type `type` (a date/time type); nullopt when it is no
// date or time, or out of the type's range.
std::optional<std::string> canonicalDateTime(const std::string& literal, AseType type);

} // namespace tds::sqlite
