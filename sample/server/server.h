#pragma once

// A test server that speaks TDS 5.0 as Adaptive Server does, on 127.0.0.1 only, over a
// Backend that runs the statements. One thread per connection answers requests while a
// second one keeps reading the socket, so attentions are seen while a statement runs.
// It can also misbehave on purpose (Faults), as broken servers and networks do.

#include "sample/server/backend.h"
#include "sample/server/recorded.h"

#include <atomic>
#include <condition_variable>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tds {

struct Account {
    std::string user;
    std::string password;
    // The databases the login is a user of; empty: every one. A "use" of another is
    // refused with 916.
    std::vector<std::string> databases;
};

// How the server takes a login's password ("net password encryption reqd").
enum class PasswordEncryption {
    Offered,   // a clear password is taken; a client that asks gets the RSA exchange
    Required,  // the same, but a clear password is refused with 1640
    OlderOnly, // a server before 15.0.2: a client that asks is offered only ENCRYPT2
};

struct ServerOptions {
    std::uint16_t port = 0; // 0: an ephemeral port
    std::vector<Account> accounts;
    int packetSize = 0; // 0: the size the client asks for
    std::string name = "QUORVANE_TEST";
    Recorded recorded = {}; // what recorded servers send beyond the plain protocol
    PasswordEncryption encryption = PasswordEncryption::Offered;
};

struct Faults {
    bool neverAnswer = false;      // reads everything, never writes a byte
    bool closeAtOnce = false;      // hangs up as soon as a connection is accepted
    bool silentAfterLogin = false; // answers the login and the set-up batch, then nothing
    std::string stallOn;           // a request whose text holds this (case-sensitive) ...
    int stallMs = 0;               // ... waits this long before it runs
    int dropAfterRows = -1;        // hangs up after this many rows of a result
    bool ignoreAttentions = false; // never acknowledges nor obeys an attention
    int rowDelayMs = 0;            // sends each row on its own, this long after the last
    // A request whose text holds this (case-sensitive) is chosen as a deadlock's victim:
    // its session's transaction is rolled back whole and it is answered 1205, severity 13.
    std::string deadlockOn;
    bool tlsOnly = false;          // a TLS listener: answers a plain login with a TLS alert
};

// What one connection carried, for tests that check what the client sent.
struct ConnectionLog {
    std::string user, password, remotePassword, protocol;
    std::uint8_t security = 0;      // the login record's security byte
    bool encryptedPassword = false; // the password came through the RSA exchange
    // The passwords the login was checked with, as they arrived or once decrypted.
    std::string passwordReceived, remotePasswordReceived;
    std::string loginBytes; // every message body the client sent while logging in
    bool loggedIn = false;
    std::vector<std::string> requests; // language texts and procedure names, in order
};

class Server {
  public:
    // Throws std::runtime_error when it cannot listen on the port.
    Server(std::shared_ptr<Backend> backend, ServerOptions options);
    ~Server(); // closes every connection and stops

    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    std::uint16_t port() const { return port_; }
    const std::shared_ptr<Backend>& backend() const { return backend_; }
    void setFaults(const Faults& faults);
    // The login script of the account `user` from the next login on (empty: none): run in
    // the session as soon as the login is accepted, its results unseen, as a login
    // trigger or login script runs on Adaptive Server ("set chained on", say).
    void setLoginScript(const std::string& user, const std::string& script);
    std::string loginScript(const std::string& user) const;
    Faults faults() const;
    // How logins from now on take their password.
    void setPasswordEncryption(PasswordEncryption mode);
    PasswordEncryption passwordEncryption() const;

    int connectionsAccepted() const;
    // Waits at most timeoutMs until at least `count` connections were accepted.
    bool waitForConnections(int count, int timeoutMs) const;
    std::vector<ConnectionLog> logs() const; // one per accepted connection
    // Closes every open connection; the server goes on listening.
    void dropConnections();

    struct Connection;

  private:
    void acceptLoop();
    void reap(bool all);

    std::shared_ptr<Backend> backend_;
    ServerOptions options_;
    std::uint16_t port_ = 0;
    int listenFd_ = -1;
    int wakePipe_[2] = {-1, -1};
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    Faults faults_;
    std::atomic<bool> ignoreAttentions_{false}; // faults_.ignoreAttentions, read per row
    bool stopping_ = false;
    int accepted_ = 0;
    std::vector<std::shared_ptr<ConnectionLog>> logs_;
    std::map<std::string, std::string> loginScripts_; // user -> script
    std::list<std::shared_ptr<Connection>> connections_;
    std::thread acceptThread_;

    friend struct Connection;
};

} // namespace tds
