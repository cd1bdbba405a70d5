#pragma once

// The statement side of the test server: databases kept as SQLite files, one
// `<name>.db` per database in one folder, with Adaptive Server's types and rules.

#include "../backend.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace tds::sqlite {

struct BackendOptions {
    std::string folder;                     // holds <name>.db
    std::string defaultDatabase = "master"; // a session's database when the login names none
    // Lock wait period in seconds (ASE's "lock wait period"): -1 waits for ever, 0 not at
    // all. A session's `set lock wait` overrides it.
    int lockWaitSeconds = -1;
};

// What every session of one backend shares.
struct Shared {
    BackendOptions options;
    std::atomic<int> nextSpid{14};
    std::atomic<std::uint64_t> timestamp{0}; // the last timestamp value handed out
};

// A database name names a file in the folder: no path separators, no leading dot.
bool databaseExists(const BackendOptions& options, const std::string& name);

class SqliteBackend final : public Backend {
  public:
    explicit SqliteBackend(BackendOptions options);
    bool hasDatabase(const std::string& name) const override;
    std::unique_ptr<Session> openSession(const std::string& database) override;

  private:
    std::shared_ptr<Shared> shared_;
};

} // namespace tds::sqlite
