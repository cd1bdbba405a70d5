#include "support/tdspeer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QtEndian>

#include <chrono>
#include <stdexcept>

namespace testing {
namespace {

// Packet types and tokens of TDS 5.0; requests come as tokens in "normal" packets.
constexpr unsigned char kLoginPacket = 0x02, kReplyPacket = 0x04, kAttentionPacket = 0x06,
                        kNormalPacket = 0x0F;
constexpr unsigned char kLanguageToken = 0x21, kLogoutToken = 0x71, kRowFormatToken = 0xEE,
                        kRowToken = 0xD1, kDoneToken = 0xFD, kLoginAckToken = 0xAD,
                        kEnvChangeToken = 0xE3;
constexpr quint16 kDoneMore = 0x01, kDoneCount = 0x10, kDoneAttention = 0x20;

// The login record: fixed fields of 30 bytes followed by their length byte.
constexpr int kUserField = 31, kPasswordField = 62, kRemotePassword = 202, kProtocolVersion = 458,
              kLoginRecordSize = 568;

void put16(QByteArray& out, quint16 v) {
    out += char(v & 0xff);
    out += char(v >> 8);
}
void put32(QByteArray& out, quint32 v) {
    put16(out, quint16(v & 0xffff));
    put16(out, quint16(v >> 16));
}

QByteArray done(quint16 status, quint32 count = 0) {
    QByteArray t(1, char(kDoneToken));
    put16(t, status);
    put16(t, 0); // transaction state
    put32(t, count);
    return t;
}

// A token with a 16-bit length ahead of its body.
QByteArray token(unsigned char id, const QByteArray& body) {
    QByteArray t(1, char(id));
    put16(t, quint16(body.size()));
    return t + body;
}

QByteArray envChange(unsigned char type, const QByteArray& newValue, const QByteArray& oldValue) {
    return token(kEnvChangeToken, char(type) + (char(newValue.size()) + newValue) +
                                      char(oldValue.size()) + oldValue);
}

QByteArray loginAck() {
    const QByteArray product = "Adaptive Server Enterprise";
    return token(kLoginAckToken, QByteArray("\x05\x05\0\0\0", 5) + // accepted, TDS 5.0
                                     char(product.size()) + product +
                                     QByteArray("\x0f\x07\0\0", 4)); // server version 15.7
}

// "select @@spid" answered with one INT column, as a server does.
QByteArray spidResult() {
    QByteArray format;
    put16(format, 1);                  // columns
    format += QByteArray("\0\0", 2);   // no name, no flags
    put32(format, 0);                  // user type
    format += QByteArray("\x38\0", 2); // INT4, no locale
    QByteArray row(1, char(kRowToken));
    put32(row, 17);
    return token(kRowFormatToken, format) + row + done(kDoneMore | kDoneCount, 1);
}

QString fixedField(const QByteArray& record, int offset) {
    const int length = qMin(int(quint8(record.at(offset + 30))), 30);
    return QString::fromUtf8(record.mid(offset, length));
}

// The identifier after "use ", with its [ ] or " " quoting undone.
bool usedDatabase(const QByteArray& sql, QByteArray& database) {
    const qsizetype at = sql.toLower().indexOf("use ");
    if (at < 0)
        return false;
    qsizetype i = at + 4;
    const char open = i < sql.size() ? sql.at(i) : 0;
    if (open != '[' && open != '"') {
        database = sql.mid(i).trimmed();
        return true;
    }
    const char close = open == '[' ? ']' : '"';
    for (++i; i < sql.size(); ++i) {
        if (sql.at(i) == close) {
            if (i + 1 < sql.size() && sql.at(i + 1) == close)
                ++i;
            else
                break;
        }
        database += sql.at(i);
    }
    return true;
}

} // namespace

struct TdsPeer::Client {
    int fd = -1;
    QByteArray input;
    QByteArray message;
    int login = -1; // index into logins_
    bool closing = false;

    void send(const QByteArray& tokens) {
        QByteArray packet(8, 0);
        packet[0] = char(kReplyPacket);
        packet[1] = 1; // last packet of the message
        const int size = int(tokens.size()) + 8;
        packet[2] = char(size >> 8);
        packet[3] = char(size & 0xff);
        packet += tokens;
        for (qsizetype sent = 0; sent < packet.size();) {
            const ssize_t n =
                ::send(fd, packet.constData() + sent, size_t(packet.size() - sent), MSG_NOSIGNAL);
            if (n <= 0) {
                closing = true;
                return;
            }
            sent += n;
        }
    }
};

TdsPeer::TdsPeer(Mode mode) : mode_(mode) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listenFd_, 16) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe2(wakePipe_, O_CLOEXEC) != 0)
        throw std::runtime_error("the TDS peer cannot listen on 127.0.0.1");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { run(); });
}

TdsPeer::~TdsPeer() {
    stop_ = true;
    wake();
    thread_.join();
    ::close(listenFd_);
    ::close(wakePipe_[0]);
    ::close(wakePipe_[1]);
}

int TdsPeer::connectionsAccepted() const {
    std::lock_guard lock(mutex_);
    return accepted_;
}

std::vector<TdsPeer::Login> TdsPeer::logins() const {
    std::lock_guard lock(mutex_);
    return logins_;
}

bool TdsPeer::waitForConnections(int count, int timeoutMs) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return accepted_ >= count; });
}

void TdsPeer::dropConnections() {
    drop_ = true;
    wake();
}

void TdsPeer::wake() {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakePipe_[1], &byte, 1);
}

void TdsPeer::run() {
    std::vector<Client> clients;
    while (!stop_) {
        std::vector<pollfd> fds{{listenFd_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
        for (const Client& c : clients)
            fds.push_back({c.fd, POLLIN, 0});
        ::poll(fds.data(), nfds_t(fds.size()), 1000);
        if (fds[1].revents & POLLIN) {
            char buffer[64];
            [[maybe_unused]] const ssize_t n = ::read(wakePipe_[0], buffer, sizeof buffer);
        }
        for (std::size_t i = 0; i < clients.size(); ++i) {
            if (!(fds[i + 2].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            Client& c = clients[i];
            char buffer[4096];
            const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                c.closing = true;
                continue;
            }
            c.input.append(buffer, n);
            while (c.input.size() >= 8 && !c.closing) {
                const int size = (quint8(c.input[2]) << 8) | quint8(c.input[3]);
                if (size < 8) {
                    c.closing = true;
                    break;
                }
                if (c.input.size() < size)
                    break;
                const auto type = static_cast<unsigned char>(c.input[0]);
                const bool last = c.input[1] & 1;
                c.message += c.input.mid(8, size - 8);
                c.input.remove(0, size);
                if (last) {
                    handleMessage(c, type, c.message);
                    c.message.clear();
                }
            }
        }
        if (fds[0].revents & POLLIN) {
            const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                if (mode_ == Mode::CloseAtOnce)
                    ::close(fd);
                else
                    clients.push_back(Client{fd, {}, {}, -1, false});
                std::lock_guard lock(mutex_);
                ++accepted_;
                changed_.notify_all();
            }
        }
        const bool dropAll = drop_.exchange(false) || stop_;
        for (auto it = clients.begin(); it != clients.end();) {
            if (it->closing || dropAll) {
                ::close(it->fd);
                it = clients.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const Client& c : clients)
        ::close(c.fd);
}

void TdsPeer::handleMessage(Client& client, unsigned char type, const QByteArray& message) {
    if (mode_ == Mode::NeverAnswer)
        return;
    if (type == kLoginPacket) {
        Login login;
        if (message.size() >= kLoginRecordSize) {
            login.user = fixedField(message, kUserField);
            login.password = fixedField(message, kPasswordField);
            const int remote = quint8(message.at(kRemotePassword + 1));
            login.remotePassword = QString::fromUtf8(message.mid(kRemotePassword + 2, remote));
            login.protocol = message.mid(kProtocolVersion, 4);
        }
        {
            std::lock_guard lock(mutex_);
            client.login = int(logins_.size());
            logins_.push_back(login);
        }
        client.send(envChange(3, "utf8", {}) + loginAck() + done(0));
        return;
    }
    if (type == kAttentionPacket) {
        client.send(done(kDoneAttention));
        return;
    }
    if (type != kNormalPacket || message.isEmpty())
        return client.send(done(0));
    const auto token = static_cast<unsigned char>(message.at(0));
    if (token == kLogoutToken) {
        client.send(done(0));
        client.closing = true;
        return;
    }
    if (token != kLanguageToken || message.size() < 6)
        return client.send(done(0));
    // Token, length of what follows (4 bytes), status, then the text.
    const qsizetype length = qFromLittleEndian<quint32>(message.constData() + 1);
    const QByteArray sql = message.mid(6, length - 1);
    QByteArray database;
    const bool use = usedDatabase(sql, database);
    if (client.login >= 0) {
        std::lock_guard lock(mutex_);
        Login& login = logins_[std::size_t(client.login)];
        login.requests << QString::fromUtf8(sql);
        if (use) {
            login.databaseUsed = true;
            login.database = QString::fromUtf8(database);
        }
    }
    const bool spid = sql.contains("@@spid");
    if (mode_ == Mode::SilentAfterLogin && !spid)
        return;
    QByteArray reply = spid ? spidResult() : QByteArray();
    if (use)
        reply += envChange(1, database, "master");
    client.send(reply + done(0));
}

} // namespace testing
