#pragma once

// One client connection: a reader thread that keeps taking messages off the socket (and
// counts attentions at once), and a worker thread that logs the client in and answers
// its requests in order.

#include "sample/server/packets.h"
#include "sample/server/resultstream.h"
#include "sample/server/server.h"

#include <atomic>
#include <deque>
#include <optional>

namespace tds {

struct Server::Connection : Link {
    Connection(Server& server, int fd, std::shared_ptr<ConnectionLog> log);
    ~Connection() override; // hangs up and waits for both threads

    bool send(std::string_view bytes) override;
    bool attentionPending() override;
    bool waitForAttention(int milliseconds) override;
    void hangUp() override;

    std::atomic<bool> finished{false};

  private:
    void readLoop();
    void work();
    bool pop(WireMessage& message);
    bool logIn(std::unique_ptr<Session>& session, StreamSettings& settings);
    std::optional<std::string> exchangePassword(bool older);
    bool refuseLogin(const Message& reason, const StreamSettings& settings);
    void answer(Session& session, const StreamSettings& settings, const std::string& text,
                const std::vector<RpcParameter>* parameters);
    void record(const std::string& request);

    Server& server_;
    int fd_;
    std::shared_ptr<ConnectionLog> log_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<WireMessage> queue_;
    int attentions_ = 0;
    bool closed_ = false;
    std::unique_ptr<ResultStream> open_; // a reply an attention is to end
    const Account* account_ = nullptr;   // the login's account, once logged in
    int userId_ = 0;                     // its server user id (its place among the accounts)
    std::thread reader_;
    std::thread worker_;
};

} // namespace tds
