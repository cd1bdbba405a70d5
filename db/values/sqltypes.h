#pragma once

// What a column's SQL type code (as the driver describes it) says about its values: the
// one reading of type codes that the data layer and the grid share.

namespace db::sqltypes {

enum class Family { Text, Binary, Integer, Bit, Decimal, Approximate, Date, Time, Stamp, Other };

struct SqlType {
    Family family = Family::Other;
    bool wide = false;   // characters of more than one byte (nchar, nvarchar, unitext)
    bool fixed = false;  // padded to its declared width (char, nchar, binary)
    bool isLong = false; // text, unitext, image: sent in pieces, rarely comparable
    // Its values survive the trip as text or bytes and compare exactly: never
    // approximate numbers, long texts or long binaries.
    bool exact = false;
};

SqlType classify(short sqlType);

bool isCharacter(short sqlType); // narrow and wide, of any length
bool isBinary(short sqlType);
bool isLong(short sqlType);
bool isApproximate(short sqlType);
bool isExact(short sqlType);
bool isNumeric(short sqlType);   // integers, decimals and approximate numbers; not bit
bool isFixedText(short sqlType); // char and nchar

} // namespace db::sqltypes
