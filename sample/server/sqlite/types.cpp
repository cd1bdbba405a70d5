#include "types.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <vector>

namespace tds::sqlite {

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

// "numeric ( 10 , 2 ) identity" -> words {"numeric", "identity"}, arguments {10, 2}.
void split(const std::string& declared, std::vector<std::string>& words, std::vector<int>& args) {
    std::string word;
    bool inArgs = false;
    std::string arg;
    auto flushWord = [&] {
        if (!word.empty())
            words.push_back(lower(word));
        word.clear();
    };
    for (char c : declared) {
        if (inArgs) {
            if (c == ',' || c == ')') {
                args.push_back(std::atoi(arg.c_str()));
                arg.clear();
                if (c == ')')
                    inArgs = false;
            } else if (!std::isspace(static_cast<unsigned char>(c))) {
                arg += c;
            }
        } else if (c == '(') {
            flushWord();
            inArgs = true;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            flushWord();
        } else {
            word += c;
        }
    }
    flushWord();
}

bool has(const std::vector<std::string>& words, const char* w) {
    return std::find(words.begin(), words.end(), w) != words.end();
}

} // namespace

ColumnInfo columnFromDeclaration(const std::string& name, const std::string& declared,
                                 bool notNull) {
    ColumnInfo c;
    c.name = name;
    c.nullable = !notNull;
    std::vector<std::string> words;
    std::vector<int> args;
    split(declared, words, args);
    c.identity = has(words, "identity");
    const std::string t = words.empty() ? std::string() : words.front();
    const int a0 = args.empty() ? 0 : args[0];
    const int a1 = args.size() > 1 ? args[1] : 0;
    auto exact = [&](AseType type, int defaultPrecision) {
        c.type = type;
        c.precision = args.empty() ? defaultPrecision : std::clamp(a0, 1, 38);
        c.scale = std::clamp(a1, 0, c.precision);
    };
    auto sized = [&](AseType type) {
        c.type = type;
        c.length = args.empty() ? 1 : std::max(a0, 1);
    };
    if (t == "int" || t == "integer")
        c.type = AseType::Int;
    else if (t == "smallint")
        c.type = AseType::SmallInt;
    else if (t == "tinyint")
        c.type = AseType::TinyInt;
    else if (t == "bigint")
        c.type = AseType::BigInt;
    else if (t == "numeric")
        exact(AseType::Numeric, 18);
    else if (t == "decimal" || t == "dec")
        exact(AseType::Decimal, 18);
    else if (t == "money") {
        c.type = AseType::Money;
        c.precision = 19;
        c.scale = 4;
    } else if (t == "smallmoney") {
        c.type = AseType::SmallMoney;
        c.precision = 10;
        c.scale = 4;
    } else if (t == "float")
        c.type = (!args.empty() && a0 < 16) ? AseType::Real : AseType::Float;
    else if (t == "double")
        c.type = AseType::Float;
    else if (t == "real")
        // Adaptive Server's real is 4 bytes, however it is spelled: SQLite reports every
        // column declared real as "REAL", so the spelling cannot tell anything apart.
        c.type = AseType::Real;
    else if (t == "datetime")
        c.type = AseType::DateTime;
    else if (t == "smalldatetime")
        c.type = AseType::SmallDateTime;
    else if (t == "date")
        c.type = AseType::Date;
    else if (t == "time")
        c.type = AseType::Time;
    else if (t == "bigdatetime")
        c.type = AseType::BigDateTime;
    else if (t == "char" || t == "character" || t == "nchar")
        sized(has(words, "varying") ? AseType::VarChar : AseType::Char);
    else if (t == "varchar" || t == "nvarchar")
        sized(AseType::VarChar);
    else if (t == "unichar")
        sized(AseType::UniChar);
    else if (t == "univarchar")
        sized(AseType::UniVarChar);
    else if (t == "unitext")
        c.type = AseType::UniText;
    else if (t == "image" || t == "blob")
        c.type = AseType::Image;
    else if (t == "bit" || t == "boolean")
        c.type = AseType::Bit;
    else if (t == "binary")
        sized(has(words, "varying") ? AseType::VarBinary : AseType::Binary);
    else if (t == "varbinary")
        sized(AseType::VarBinary);
    else if (t == "timestamp") {
        c.type = AseType::Timestamp;
        c.length = 8;
    } else
        c.type = AseType::Text; // "text", and anything unknown: kept whole, never cut
    if (isLarge(c.type))
        c.length = 2147483647;
    return c;
}

bool isExactNumeric(AseType t) {
    return t == AseType::Numeric || t == AseType::Decimal || t == AseType::Money ||
           t == AseType::SmallMoney;
}

bool isInteger(AseType t) {
    return t == AseType::Int || t == AseType::SmallInt || t == AseType::TinyInt ||
           t == AseType::BigInt || t == AseType::Bit;
}

bool isString(AseType t) {
    return t == AseType::Char || t == AseType::VarChar || t == AseType::UniChar ||
           t == AseType::UniVarChar || t == AseType::Text || t == AseType::UniText;
}

bool isBinary(AseType t) {
    return t == AseType::Binary || t == AseType::VarBinary || t == AseType::Image ||
           t == AseType::Timestamp;
}

bool isDateTime(AseType t) {
    return t == AseType::DateTime || t == AseType::SmallDateTime || t == AseType::Date ||
           t == AseType::Time || t == AseType::BigDateTime;
}

bool isLarge(AseType t) {
    return t == AseType::Text || t == AseType::Image || t == AseType::UniText;
}

int scaleOf(const ColumnInfo& c) {
    return c.scale;
}

} // namespace tds::sqlite
