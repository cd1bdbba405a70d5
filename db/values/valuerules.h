#pragma once

// What a column accepts and how its values compare. A typed value is checked against
// the column before anything is sent, so the driver never has to convert it on its own
// (a driver that pastes values into the SQL text converts them with the column's type
// and would quietly round 19.999 to 19.99 or roll 2024-02-30 over to March). Stored
// values compare the way their type compares: numbers by value, approximate numbers in
// binary, dates and times by the moment they name, texts exactly.

#include "db/connect/servercharset.h"
#include "db/read/resulttable.h"

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace db {

using CellValue = std::optional<std::string>;

// A stored cell as a value: NULL, or its bytes.
CellValue storedValue(const ResultTable& rows, int row, int column);

// A column as the write rules see it: its description and its declared type name
// ("numeric(10,2)", "datetime", ...; empty when unknown).
struct ColumnType {
    const ColumnInfo& info;
    QString typeName;
    // The server's character set: texts are measured in it and must be made of its
    // characters, since every value travels in it.
    ServerCharset charset = {};
};

struct TypedValue {
    CellValue value; // what is sent; nothing when refused
    QString refusal; // why the column cannot take it; empty when it can
    bool accepted() const { return refusal.isEmpty(); }
};

// Checks `typed` against the column. A value that fits is answered unaltered, save for
// blanks around numbers and dates; NULL always passes here (the server decides).
TypedValue checkTyped(const ColumnType& column, const CellValue& typed);

// True when the two stored or typed values are the same value of the column's type.
bool sameValue(const ColumnType& column, const CellValue& a, const CellValue& b);

// A value as a message quotes it: NULL, a number, or text in quotation marks (cut when
// long).
QString quoted(const ColumnInfo& column, const CellValue& value);

// The shortest decimal text that reads back to the same number.
std::string approximateText(double value);
std::string approximateText(float value);
// Reads decimal text as a number; nothing for text that is not one whole number.
std::optional<double> parseApproximate(std::string_view text);

// Why a stored cell cannot be written back exactly (a NUL byte, bytes that are not
// UTF-8); empty when it can.
QString uncarriableReason(const ColumnInfo& column, const CellValue& stored);
QString uncarriableReason(const ColumnInfo& column, std::string_view stored);

} // namespace db
