#include "sqlitebackend.h"

#include "session.h"

#include <chrono>
#include <sys/stat.h>

namespace tds::sqlite {

bool databaseExists(const BackendOptions& options, const std::string& name) {
    if (name == "master")
        return true;
    if (name.empty() || name.front() == '.' || name.find_first_of("/\\") != std::string::npos ||
        name.find('\0') != std::string::npos)
        return false;
    struct stat info {};
    const std::string file = options.folder + "/" + name + ".db";
    return ::stat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

SqliteBackend::SqliteBackend(BackendOptions options) : shared_(std::make_shared<Shared>()) {
    shared_->options = std::move(options);
    // Timestamps only grow, also across runs of the server over the same files.
    shared_->timestamp = std::uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(
                                           std::chrono::system_clock::now().time_since_epoch())
                                           .count());
}

bool SqliteBackend::hasDatabase(const std::string& name) const {
    return databaseExists(shared_->options, name);
}

std::unique_ptr<Session> SqliteBackend::openSession(const std::string& database,
                                                    const std::string& login) {
    return std::make_unique<SqliteSession>(shared_, database, login);
}

} // namespace tds::sqlite
