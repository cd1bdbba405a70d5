#pragma once

// A ResultSink that keeps what a session sends, as one line per event, and the rows.

#include "../../backend.h"

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

namespace tds::sqlite::test {

class RecordingSink : public ResultSink {
  public:
    std::vector<std::string> events;
    std::vector<std::vector<ColumnInfo>> formats;
    std::vector<std::vector<Value>> rows;
    std::vector<Message> messages;
    int cancelAfterPolls = -1; // cancelled() answers true from this poll on
    int polls = 0;
    std::size_t stopAfterRows = std::size_t(-1);
    std::atomic<int>* pollsSeen = nullptr; // counts the polls for another thread to watch

    void columns(const std::vector<ColumnInfo>& c) override {
        formats.push_back(c);
        events.push_back("columns " + std::to_string(c.size()));
    }
    bool row(const std::vector<Value>& v) override {
        if (rows.size() >= stopAfterRows)
            return false;
        rows.push_back(v);
        return true;
    }
    void message(const Message& m) override {
        messages.push_back(m);
        events.push_back("message " + std::to_string(m.number));
    }
    void done(bool inProcedure, std::optional<std::int64_t> count, bool error) override {
        std::string e = inProcedure ? "doneinproc" : "done";
        if (count)
            e += " " + std::to_string(*count);
        if (error)
            e += " error";
        events.push_back(e);
    }
    void returnStatus(int status) override { events.push_back("status " + std::to_string(status)); }
    void databaseChanged(const std::string& now, const std::string& old) override {
        events.push_back("database " + now + " from " + old);
    }
    bool cancelled() override {
        ++polls;
        if (pollsSeen)
            ++*pollsSeen;
        return cancelAfterPolls >= 0 && polls >= cancelAfterPolls;
    }

    std::string joined() const {
        std::string s;
        for (const std::string& e : events)
            s += (s.empty() ? "" : "; ") + e;
        return s;
    }
    // Row r, column c as text ("NULL" for a null).
    std::string cell(std::size_t r, std::size_t c) const {
        const Value& v = rows.at(r).at(c);
        if (v.null)
            return "NULL";
        if (!v.text.empty())
            return v.text;
        if (v.real != 0) {
            char b[64];
            std::snprintf(b, sizeof b, "%.17g", v.real);
            return b;
        }
        return std::to_string(v.integer);
    }
};

} // namespace tds::sqlite::test
