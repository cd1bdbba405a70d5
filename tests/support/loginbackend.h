#pragma once

// A backend for the test server that holds no tables: it answers the driver's set-up
// batch ("select @@spid", "use [db]" for any database) and every other batch with an
// empty result. For tests of logging in, time-outs and broken servers.

#include "sample/server/server.h"

#include <memory>

namespace testing {

std::shared_ptr<tds::Backend> makeLoginBackend();

// A server over that backend on an ephemeral port, taking the one account.
std::unique_ptr<tds::Server> startLoginServer(const std::string& user = "sa",
                                              const std::string& password = "secret");

// The same server, never answering: it takes the connection and never says a word.
std::unique_ptr<tds::Server> startSilentServer();

// The database a "use" in the requests named, unquoted; `used` false when none did.
std::string usedDatabase(const tds::ConnectionLog& log, bool& used);

} // namespace testing
