#pragma once

// A port of 127.0.0.1 on which nothing listens: bound while the object lives, so that no
// one else takes it, but never listening. A login to it is refused at once.

#include <QString>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testing {

class ClosedPort {
  public:
    ClosedPort() : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~ClosedPort() { ::close(fd_); }
    ClosedPort(const ClosedPort&) = delete;
    ClosedPort& operator=(const ClosedPort&) = delete;

    quint16 port() const { return port_; }
    QString text() const { return QString::number(port_); }

  private:
    int fd_;
    quint16 port_ = 0;
};

} // namespace testing
