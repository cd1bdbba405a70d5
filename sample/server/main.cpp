// quorvane-tds-server FOLDER [PORT] [USER:PASSWORD[,USER:PASSWORD...]] [utf8|iso_1]
//
// The test server on its own: serves FOLDER/<name>.db on 127.0.0.1 until interrupted.
// Prints "listening on 127.0.0.1:<port>" once it accepts connections.

#include "sample/server/server.h"
#include "sample/server/sqlite/sqlitebackend.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

bool parseAccounts(const std::string& list, std::vector<tds::Account>& accounts) {
    std::size_t at = 0;
    while (at <= list.size()) {
        const std::size_t comma = std::min(list.find(',', at), list.size());
        const std::string item = list.substr(at, comma - at);
        const std::size_t colon = item.find(':');
        if (colon == std::string::npos || colon == 0)
            return false;
        accounts.push_back({item.substr(0, colon), item.substr(colon + 1), {}});
        at = comma + 1;
    }
    return !accounts.empty();
}

int usage() {
    std::fprintf(stderr, "usage: quorvane-tds-server FOLDER [PORT] "
                         "[USER:PASSWORD[,USER:PASSWORD...]] [utf8|iso_1]\n");
    return 2;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 2 || argc > 5)
        return usage();
    tds::ServerOptions options;
    if (argc > 2) {
        char* end = nullptr;
        const long port = std::strtol(argv[2], &end, 10);
        if (*end != '\0' || port < 0 || port > 65535)
            return usage();
        options.port = std::uint16_t(port);
    }
    if (!parseAccounts(argc > 3 ? argv[3] : "sa:sample", options.accounts))
        return usage();
    tds::sqlite::BackendOptions backend;
    backend.folder = argv[1];
    if (argc > 4 && !tds::parseCharset(argv[4], backend.charset))
        return usage();

    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr); // every thread started below inherits it
    try {
        tds::Server server(std::make_shared<tds::sqlite::SqliteBackend>(backend), options);
        std::printf("listening on 127.0.0.1:%u\n", unsigned(server.port()));
        std::fflush(stdout);
        int signal = 0;
        sigwait(&signals, &signal);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quorvane-tds-server: %s\n", e.what());
        return 1;
    }
    return 0;
}
