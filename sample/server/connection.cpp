#include "sample/server/connection.h"

#include "sample/server/login.h"
#include "sample/server/requests.h"

#include <sys/socket.h>
#include <unistd.h>

namespace tds {
namespace {

// Bit 59 of the client's capability request: it can read ROWFMT2.
bool asksForWideRows(const LoginRecord& login) {
    return login.capabilityRequest.size() != 14 || (login.capabilityRequest[6] & 0x08) != 0;
}

} // namespace

Server::Connection::Connection(Server& server, int fd, std::shared_ptr<ConnectionLog> log)
    : server_(server), fd_(fd), log_(std::move(log)) {
    reader_ = std::thread([this] { readLoop(); });
    worker_ = std::thread([this] { work(); });
}

Server::Connection::~Connection() {
    hangUp();
    worker_.join();
    ::close(fd_);
}

bool Server::Connection::send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        bytes.remove_prefix(std::size_t(n));
    }
    return true;
}

bool Server::Connection::attentionPending() {
    // A client gone counts as one: a statement that waits (for a lock, say) stops.
    const bool obey = !server_.ignoreAttentions_;
    std::lock_guard lock(mutex_);
    return closed_ || (obey && attentions_ > 0);
}

bool Server::Connection::waitForAttention(int milliseconds) {
    const bool obey = !server_.ignoreAttentions_;
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                      [&] { return closed_ || (obey && attentions_ > 0); });
    return closed_ || (obey && attentions_ > 0);
}

void Server::Connection::hangUp() {
    ::shutdown(fd_, SHUT_RDWR);
}

void Server::Connection::readLoop() {
    MessageAssembler assembler;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0 || !assembler.feed(std::string_view(buffer, std::size_t(n))))
            break;
        std::lock_guard lock(mutex_);
        for (WireMessage m; assembler.next(m);) {
            attentions_ += m.type == kAttentionPacket;
            queue_.push_back(std::move(m));
        }
        changed_.notify_all();
    }
    std::lock_guard lock(mutex_);
    closed_ = true;
    changed_.notify_all();
}

bool Server::Connection::pop(WireMessage& message) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return closed_ || !queue_.empty(); });
    if (queue_.empty())
        return false;
    message = std::move(queue_.front());
    queue_.pop_front();
    return true;
}

void Server::Connection::record(const std::string& request) {
    std::lock_guard lock(server_.mutex_);
    log_->requests.push_back(request);
}

bool Server::Connection::logIn(std::unique_ptr<Session>& session, StreamSettings& settings) {
    WireMessage message;
    if (!pop(message) || message.type != kLoginPacket)
        return false;
    if (server_.faults().neverAnswer) {
        while (pop(message)) {
        }
        return false;
    }
    const LoginRecord login = parseLoginRecord(message.body);
    bool known = false;
    for (const Account& a : server_.options_.accounts)
        known = known || (login.complete && a.user == login.user && a.password == login.password);
    {
        std::lock_guard lock(server_.mutex_);
        log_->user = login.user;
        log_->password = login.password;
        log_->remotePassword = login.remotePassword;
        log_->protocol = login.protocol;
    }
    if (known) {
        try {
            session = server_.backend_->openSession("", login.user);
        } catch (const std::exception&) {
            session.reset();
        }
    }
    ByteWriter reply;
    std::string packets;
    if (!session) {
        putLoginRefused(reply, settings.serverName);
        appendPackets(packets, kReplyPacket, reply.data(), 512, true);
        send(packets);
        return false; // refused: the socket closes at once
    }
    LoginReplyInfo info;
    info.database = "master";
    info.charset = settings.charset;
    info.clientPacketSize = login.packetSize;
    info.packetSize =
        server_.options_.packetSize > 0 ? server_.options_.packetSize : login.packetSize;
    info.serverName = settings.serverName;
    putLoginAccepted(reply, login, info);
    appendPackets(packets, kReplyPacket, reply.data(), std::size_t(login.packetSize), true);
    settings.packetSize = std::size_t(info.packetSize);
    settings.wideRowFormat = asksForWideRows(login);
    {
        std::lock_guard lock(server_.mutex_);
        log_->loggedIn = true;
    }
    return send(packets);
}

void Server::Connection::answer(Session& session, const StreamSettings& settings,
                                const std::string& text,
                                const std::vector<RpcParameter>* parameters) {
    record(text);
    const Faults faults = server_.faults();
    if (!faults.stallOn.empty() && text.find(faults.stallOn) != std::string::npos &&
        waitForAttention(faults.stallMs))
        return; // cancelled while held: the attention is acknowledged next
    auto stream = std::make_unique<ResultStream>(*this, settings, faults);
    try {
        if (parameters)
            session.rpc(text, *parameters, *stream);
        else
            session.language(text, *stream);
    } catch (const std::exception& e) {
        Message m;
        m.number = 7;
        m.severity = 16;
        m.sqlstate = "ZZZZZ";
        m.text = e.what();
        stream->message(m);
        stream->done(false, std::nullopt, true);
    }
    if (attentionPending())
        open_ = std::move(stream);
    else
        stream->finish();
}

void Server::Connection::work() {
    std::unique_ptr<Session> session;
    StreamSettings settings;
    settings.charset = server_.backend_->charset();
    settings.serverName = server_.options_.name;
    if (logIn(session, settings)) {
        int answered = 0;
        for (WireMessage message; pop(message);) {
            const Faults faults = server_.faults();
            const Request r = decodeRequest(message.type, message.body, settings.charset);
            if (faults.silentAfterLogin && answered > 0) {
                if (r.kind == Request::Kind::Language || r.kind == Request::Kind::Rpc)
                    record(r.text);
                continue;
            }
            if (r.kind == Request::Kind::Attention) {
                {
                    std::lock_guard lock(mutex_);
                    --attentions_;
                }
                if (faults.ignoreAttentions)
                    continue;
                if (!open_)
                    open_ = std::make_unique<ResultStream>(*this, settings, faults);
                open_->attentionAcknowledged();
                open_.reset();
                continue;
            }
            open_.reset();
            ++answered;
            if (r.kind == Request::Kind::Logout) {
                ResultStream(*this, settings, faults).finish();
                break;
            }
            if (r.kind == Request::Kind::Malformed) {
                ResultStream stream(*this, settings, faults);
                Message m;
                m.number = 102;
                m.severity = 15;
                m.sqlstate = "42000";
                m.text = r.problem;
                stream.message(m);
                stream.done(false, std::nullopt, true);
                stream.finish();
                continue;
            }
            answer(*session, settings, r.text,
                   r.kind == Request::Kind::Rpc ? &r.parameters : nullptr);
        }
    }
    open_.reset();
    if (session)
        session->close();
    hangUp();
    reader_.join();
    finished = true;
    std::lock_guard lock(server_.mutex_);
    server_.changed_.notify_all();
}

} // namespace tds
