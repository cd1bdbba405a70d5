// How fast the statement side streams a big table: SELECT * over 1,000,000 rows of six
// columns (int, varchar, numeric, datetime, char, smallint), as SQLite itself stored
// them, into a sink that only counts. Prints the best of three runs.

#include "../sqlitebackend.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sqlite3.h>
#include <string>
#include <unistd.h>

namespace {

struct CountingSink : tds::ResultSink {
    long rows = 0;
    std::size_t bytes = 0;
    void columns(const std::vector<tds::ColumnInfo>&) override {}
    bool row(const std::vector<tds::Value>& values) override {
        ++rows;
        for (const tds::Value& v : values)
            bytes += v.text.size();
        return true;
    }
    void message(const tds::Message& m) override {
        std::fprintf(stderr, "%d %s\n", m.number, m.text.c_str());
    }
    void done(bool, std::optional<std::int64_t>, bool) override {}
    void returnStatus(int) override {}
    void databaseChanged(const std::string&, const std::string&) override {}
    bool cancelled() override { return false; }
};

} // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    char folder[] = "/tmp/bench-tds-sqlite-XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    sqlite3* db = nullptr;
    sqlite3_open((std::string(folder) + "/big.db").c_str(), &db);
    const std::string fill =
        "CREATE TABLE big (id int NOT NULL PRIMARY KEY, name varchar(40) NOT NULL, price "
        "numeric(10,2) NULL, stamp datetime NULL, code char(8) NOT NULL, qty smallint NULL);"
        "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < " +
        std::to_string(rows) +
        ") INSERT INTO big SELECT n, 'name ' || n, (n % 10000) * 1.25, '2021-08-31 "
        "13:45:30.500', 'C' || (n % 1000), n % 30000 FROM c;";
    sqlite3_exec(db, fill.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);

    tds::sqlite::BackendOptions options;
    options.folder = folder;
    tds::sqlite::SqliteBackend backend(options);
    std::unique_ptr<tds::Session> session = backend.openSession("big");
    double best = 1e9;
    long sent = 0;
    for (int i = 0; i < 3; ++i) {
        CountingSink sink;
        const auto start = std::chrono::steady_clock::now();
        session->language("SELECT * FROM [big]", sink);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = std::min(best, seconds);
        sent = sink.rows;
    }
    session.reset();
    std::printf("SELECT * of %ld rows x 6 columns: %.3f s (%.0f rows/s)\n", sent, best,
                double(sent) / best);
    std::system(("rm -rf '" + std::string(folder) + "'").c_str());
    return sent == rows ? 0 : 1;
}
