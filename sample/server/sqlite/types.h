#pragma once

// Adaptive Server column types kept in a SQLite column's declared type, e.g.
// "numeric(10,2)", "char(4)", "numeric(10,0) identity", or SQLite's own plain names.

#include "../backend.h"

#include <string>

namespace tds::sqlite {

// The column as the server describes it, from its declared SQLite type.
ColumnInfo columnFromDeclaration(const std::string& name, const std::string& declared,
                                 bool notNull);

// Adaptive Server's name of a type ("numeric", "varchar", ...).
std::string typeName(AseType type);

// The ODBC 2 data type code the catalog procedures report for a column.
int odbcType(const ColumnInfo& column);

// Precision and length the catalog procedures report.
int odbcPrecision(const ColumnInfo& column);
int odbcLength(const ColumnInfo& column);

bool isExactNumeric(AseType type);
bool isInteger(AseType type);
bool isString(AseType type); // char, varchar, unichar, univarchar, text
bool isBinary(AseType type); // binary, varbinary, image, timestamp
bool isDateTime(AseType type);
bool isLarge(AseType type); // text, unitext and image: not comparable with "="

// Scale of the stored value: numeric's own scale, 4 for money.
int scaleOf(const ColumnInfo& column);

} // namespace tds::sqlite
