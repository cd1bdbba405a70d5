#include "sample/server/server.h"

#include "sample/server/connection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace tds {

Server::Server(std::shared_ptr<Backend> backend, ServerOptions options)
    : backend_(std::move(backend)), options_(std::move(options)) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0)
        throw std::runtime_error(std::string("cannot open a socket: ") + std::strerror(errno));
    const int yes = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(options_.port);
    socklen_t length = sizeof address;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listenFd_, 64) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe2(wakePipe_, O_CLOEXEC) != 0) {
        const std::string reason = std::strerror(errno);
        ::close(listenFd_);
        throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(options_.port) +
                                 ": " + reason);
    }
    port_ = ntohs(address.sin_port);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

Server::~Server() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakePipe_[1], &byte, 1);
    acceptThread_.join();
    reap(true);
    ::close(listenFd_);
    ::close(wakePipe_[0]);
    ::close(wakePipe_[1]);
}

void Server::setFaults(const Faults& faults) {
    std::lock_guard lock(mutex_);
    faults_ = faults;
    ignoreAttentions_ = faults.ignoreAttentions;
}

void Server::setLoginScript(const std::string& user, const std::string& script) {
    std::lock_guard lock(mutex_);
    loginScripts_[user] = script;
}

std::string Server::loginScript(const std::string& user) const {
    std::lock_guard lock(mutex_);
    const auto found = loginScripts_.find(user);
    return found == loginScripts_.end() ? std::string() : found->second;
}

Faults Server::faults() const {
    std::lock_guard lock(mutex_);
    return faults_;
}

void Server::setPasswordEncryption(PasswordEncryption mode) {
    std::lock_guard lock(mutex_);
    options_.encryption = mode;
}

PasswordEncryption Server::passwordEncryption() const {
    std::lock_guard lock(mutex_);
    return options_.encryption;
}

int Server::connectionsAccepted() const {
    std::lock_guard lock(mutex_);
    return accepted_;
}

bool Server::waitForConnections(int count, int timeoutMs) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return accepted_ >= count; });
}

std::vector<ConnectionLog> Server::logs() const {
    std::lock_guard lock(mutex_);
    std::vector<ConnectionLog> copy;
    for (const auto& log : logs_)
        copy.push_back(*log);
    return copy;
}

void Server::dropConnections() {
    std::lock_guard lock(mutex_);
    for (const auto& c : connections_)
        c->hangUp();
}

void Server::reap(bool all) {
    std::list<std::shared_ptr<Connection>> done;
    {
        std::lock_guard lock(mutex_);
        for (auto it = connections_.begin(); it != connections_.end();) {
            if (all || (*it)->finished) {
                done.push_back(std::move(*it));
                it = connections_.erase(it);
            } else {
                ++it;
            }
        }
    }
    done.clear(); // joins their threads, outside the lock
}

void Server::acceptLoop() {
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
        ::poll(fds, 2, 200);
        reap(false);
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
        }
        if (!(fds[0].revents & POLLIN))
            continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        // Each packet goes out as it is written, as Adaptive Server's own "tcp no delay"
        // has it; with batching the second packet of an answer waits for the client's
        // delayed acknowledgement.
        const int noDelay = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
        std::lock_guard lock(mutex_);
        ++accepted_;
        auto log = std::make_shared<ConnectionLog>();
        logs_.push_back(log);
        changed_.notify_all();
        if (faults_.closeAtOnce) {
            ::close(fd);
            continue;
        }
        connections_.push_back(std::make_shared<Connection>(*this, fd, log));
    }
}

} // namespace tds
