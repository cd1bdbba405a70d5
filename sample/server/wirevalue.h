#pragma once

// How a column of an Adaptive Server type travels in TDS 5.0: its type byte, user type,
// status bits and format info in the row format, and each value in a row.

#include "sample/server/backend.h"
#include "sample/server/bytes.h"
#include "sample/server/charset.h"
#include "sample/server/recorded.h"

#include <stdexcept>

namespace tds {

// A value that cannot travel in its column's format (malformed, or longer than the
// column): the statement fails rather than send something else.
struct WireError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Row-format status bits.
inline constexpr std::uint8_t kStatusUpdatable = 0x10, kStatusNullable = 0x20,
                              kStatusIdentity = 0x40;

struct WireFormat {
    std::uint8_t type = 0;
    std::uint32_t userType = 0;
    std::uint8_t status = 0;
    std::string info; // the type's format info, as it follows the type byte
};

// `recorded` decides the user types of nullable columns and how expressions travel.
WireFormat wireFormat(const ColumnInfo& column, const Recorded& recorded);

// Appends one value of `column`, whose format is `format`, in its wire form. Throws
// WireError.
void putValue(ByteWriter& out, const ColumnInfo& column, const WireFormat& format,
              const Value& value, Charset charset);

} // namespace tds
