#pragma once

// The statement side of the test server: databases kept as SQLite files, one
// `<name>.db` per database in one folder, with Adaptive Server's types and rules.

#include "../backend.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace tds::sqlite {

struct BackendOptions {
    std::string folder;                     // holds <name>.db
    std::string defaultDatabase = "master"; // a session's database when the login names none
    // Lock wait period in seconds (ASE's "lock wait period"): -1 waits for ever, 0 not at
    // all. A session's `set lock wait` overrides it.
    int lockWaitSeconds = -1;
    // A SELECT waits while another session's open transaction has changed the table, as
    // a read at isolation level 1 waits for an exclusive lock under the default allpages
    // locking scheme (here for the whole table).
    bool readersWaitForWriters = true;
    // The server's default character set (ASE's "default character set id").
    Charset charset = Charset::Utf8;
};

// What every session of one backend shares.
struct Shared {
    BackendOptions options;
    std::atomic<int> nextSpid{14};
    std::atomic<std::uint64_t> timestamp{0}; // the last timestamp value handed out
    std::mutex locks;
    std::map<std::string, int> changedTables; // "database/table" -> the spid whose open
                                              // transaction has changed it
    // Tables locked allpages: a SELECT holds a shared lock on the pages it reads (here
    // the table) while it scans, and a write waits for it.
    std::atomic<bool> allpagesReadLocks{false};
    std::map<std::string, std::map<int, int>> readers; // "database/table" -> spid -> scans
};

// A database name names a file in the folder: no path separators, no leading dot.
bool databaseExists(const BackendOptions& options, const std::string& name);

class SqliteBackend final : public Backend {
  public:
    explicit SqliteBackend(BackendOptions options);
    bool hasDatabase(const std::string& name) const override;
    Charset charset() const override { return shared_->options.charset; }
    std::unique_ptr<Session> openSession(const std::string& database,
                                         const std::string& login = "sa") override;
    // Every table locked allpages (true) or datarows (false, the start): see Shared.
    void setAllpagesReadLocks(bool on) { shared_->allpagesReadLocks = on; }

  private:
    std::shared_ptr<Shared> shared_;
};

} // namespace tds::sqlite
