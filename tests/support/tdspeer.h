#pragma once

// A stand-in for Adaptive Server on 127.0.0.1: it speaks just enough TDS 5.0 for the
// FreeTDS driver to log in, and records what the driver sent (user name, password and
// the database it asked for). It can also stay silent or hang up, as broken servers do.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace testing {

class TdsPeer {
  public:
    enum class Mode {
        Answer,           // accepts every login and answers every request
        NeverAnswer,      // accepts the connection, reads, and never writes a byte
        CloseAtOnce,      // hangs up as soon as a connection is accepted
        SilentAfterLogin, // completes the login, then never answers a request
    };

    // What one connection carried, decoded from UTF-8.
    struct Login {
        QString user;              // the login record's user name field
        QString password;          // the login record's password field
        QString remotePassword;    // the password as the remote-password area carries it
        QByteArray protocol;       // four bytes; 5.0.0.0 for TDS 5.0
        bool databaseUsed = false; // a "use" request came after the login
        QString database;          // the identifier of that request, unquoted
        QStringList requests;      // every language request, in order
    };

    explicit TdsPeer(Mode mode = Mode::Answer);
    ~TdsPeer(); // closes every connection (abandoned driver attempts then end) and stops

    TdsPeer(const TdsPeer&) = delete;
    TdsPeer& operator=(const TdsPeer&) = delete;

    quint16 port() const { return port_; }
    int connectionsAccepted() const;
    std::vector<Login> logins() const; // one per login packet, in arrival order

    // Waits at most timeoutMs until at least `count` connections were accepted.
    bool waitForConnections(int count, int timeoutMs) const;
    // Closes every open connection (the peer goes on listening).
    void dropConnections();

  private:
    struct Client;
    void run();
    void handleMessage(Client& client, unsigned char type, const QByteArray& message);
    void wake();

    Mode mode_;
    quint16 port_ = 0;
    int listenFd_ = -1;
    int wakePipe_[2] = {-1, -1};
    std::atomic<bool> stop_{false};
    std::atomic<bool> drop_{false};
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    int accepted_ = 0;
    std::vector<Login> logins_;
    std::thread thread_;
};

} // namespace testing
