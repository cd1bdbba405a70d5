#pragma once

// How the catalog procedures describe and send their results.

#include "../backend.h"

#include <optional>
#include <string>
#include <vector>

namespace tds::sqlite::catalog {

inline ColumnInfo column(const char* name, AseType type, int length, bool nullable) {
    ColumnInfo c;
    c.name = name;
    c.type = type;
    c.length = length;
    c.nullable = nullable;
    return c;
}

inline ColumnInfo varchar(const char* name, int length, bool nullable = true) {
    return column(name, AseType::VarChar, length, nullable);
}

inline Value text(const std::string& s) {
    return s.empty() ? Value::Null() : Value::Text(s);
}
inline Value integer(std::int64_t v) {
    return Value::Integer(v);
}

// Results as a procedure sends them: a first count-less DONEINPROC, the rows, their
// DONEINPROC with the count, then the return status.
class ProcedureResult {
  public:
    ProcedureResult(ResultSink& sink, std::vector<ColumnInfo> columns) : sink_(sink) {
        sink_.done(true, std::nullopt, false);
        sink_.columns(columns);
    }
    bool row(const std::vector<Value>& values) {
        if (!sink_.row(values))
            return false;
        ++count_;
        return true;
    }
    void finish() {
        sink_.done(true, count_, false);
        sink_.returnStatus(0);
    }

  private:
    ResultSink& sink_;
    std::int64_t count_ = 0;
};

} // namespace tds::sqlite::catalog
