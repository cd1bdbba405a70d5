#include "sample/server/connection.h"

#include "sample/server/login.h"
#include "sample/server/passwordexchange.h"
#include "sample/server/requests.h"
#include "sample/server/rsakey.h"

#include <algorithm>
#include <utility>

#include <sys/socket.h>
#include <unistd.h>

namespace tds {
namespace {

// Bit 59 of the client's capability request: it can read ROWFMT2.
bool asksForWideRows(const LoginRecord& login) {
    return login.capabilityRequest.size() != 14 || (login.capabilityRequest[6] & 0x08) != 0;
}

// Passes a request's results on, but refuses a "use" of a database the login is not a
// user of: 916 and a failed statement instead of the change.
class DatabaseGuard : public ResultSink {
  public:
    DatabaseGuard(ResultSink& to, const Account& account, int userId)
        : to_(to), account_(account), userId_(userId) {}

    void columns(const std::vector<ColumnInfo>& columns) override { to_.columns(columns); }
    bool row(const std::vector<Value>& values) override { return to_.row(values); }
    void message(const Message& message) override { to_.message(message); }
    void done(bool inProcedure, std::optional<std::int64_t> count, bool error) override {
        to_.done(inProcedure, count, error || std::exchange(refusing_, false));
    }
    void returnStatus(int status) override { to_.returnStatus(status); }
    void databaseChanged(const std::string& newName, const std::string& oldName) override {
        const auto& allowed = account_.databases;
        if (allowed.empty() || std::find(allowed.begin(), allowed.end(), newName) != allowed.end())
            return to_.databaseChanged(newName, oldName);
        Message m;
        m.number = 916;
        m.severity = 14;
        m.sqlstate = "ZZZZZ";
        m.text = "Server user id " + std::to_string(userId_) +
                 " is not a valid user in database '" + newName + "'.";
        to_.message(m);
        refusing_ = true;
        if (restore_.empty())
            restore_ = oldName.empty() ? "master" : oldName;
    }
    bool cancelled() override { return to_.cancelled(); }

    // The database to go back to after a refused "use"; empty when none was refused.
    const std::string& restore() const { return restore_; }

  private:
    ResultSink& to_;
    const Account& account_;
    int userId_;
    bool refusing_ = false;
    std::string restore_;
};

// Takes a statement's results and sends none of them (a login script's, a refused use's
// way back).
class UnseenResults final : public ResultSink {
  public:
    void columns(const std::vector<ColumnInfo>&) override {}
    bool row(const std::vector<Value>&) override { return true; }
    void message(const Message&) override {}
    void done(bool, std::optional<std::int64_t>, bool) override {}
    void returnStatus(int) override {}
    void databaseChanged(const std::string&, const std::string&) override {}
    bool cancelled() override { return false; }
};

// Adaptive Server's answer to a deadlock's victim.
Message deadlockVictim() {
    Message m;
    m.number = 1205;
    m.severity = 13;
    m.sqlstate = "40001";
    m.text = "Your server command (family id #0, process id #0) encountered a deadlock "
             "situation. Please re-run your command.";
    return m;
}
// The nonce's length is the server's choice; the client puts it before the password.
constexpr std::size_t kNonceBytes = 32;

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
    if (server_.faults().tlsOnly) {
        // A TLS record: fatal alert, handshake failure. Then the listener hangs up.
        send(std::string_view("\x15\x03\x03\x00\x02\x02\x28", 7));
        return false;
    }
    const LoginRecord login = parseLoginRecord(message.body);
    {
        std::lock_guard lock(server_.mutex_);
        log_->user = login.user;
        log_->password = login.password;
        log_->remotePassword = login.remotePassword;
        log_->protocol = login.protocol;
        log_->security = login.security;
        log_->loginBytes = message.body;
        log_->passwordReceived = login.password;
        log_->remotePasswordReceived = login.remotePassword;
    }
    // A client that asks for the encrypted exchange sends no password in the record.
    const PasswordEncryption mode = server_.passwordEncryption();
    std::string password = login.password;
    if (login.security & (kSecurityEncrypt2 | kSecurityEncrypt3)) {
        const std::optional<std::string> sent =
            exchangePassword(mode == PasswordEncryption::OlderOnly);
        if (!sent)
            return false; // the client gave up, or sent what does not decrypt
        password = *sent;
    } else if (mode == PasswordEncryption::Required) {
        return refuseLogin(encryptionRequiredMessage(), settings);
    }
    const std::vector<Account>& accounts = server_.options_.accounts;
    for (std::size_t i = 0; i < accounts.size() && !account_; ++i) {
        if (login.complete && accounts[i].user == login.user && accounts[i].password == password) {
            account_ = &accounts[i];
            userId_ = int(i) + 1;
        }
    }
    const std::string loginScript = account_ ? server_.loginScript(login.user) : std::string();
    if (account_) {
        try {
            session = server_.backend_->openSession("", login.user);
            if (session && !loginScript.empty()) {
                UnseenResults unseen;
                session->language(loginScript, unseen);
            }
        } catch (const std::exception&) {
            session.reset();
        }
    }
    ByteWriter reply;
    std::string packets;
    if (!session) {
        putLoginRefused(reply, settings.serverName, settings.recorded);
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
    info.recorded = settings.recorded;
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

std::optional<std::string> Server::Connection::exchangePassword(bool older) {
    const RsaKey& key = RsaKey::shared();
    const std::string nonce = older ? std::string() : RsaKey::randomBytes(kNonceBytes);
    ByteWriter offer;
    putEncryptionOffer(offer, older ? kMsgEncrypt2 : kMsgEncrypt3, key.publicKeyPem(), nonce);
    std::string packets;
    appendPackets(packets, kReplyPacket, offer.data(), 512, true);
    WireMessage answer;
    if (!send(packets) || !pop(answer))
        return std::nullopt;
    {
        std::lock_guard lock(server_.mutex_);
        log_->loginBytes += answer.body;
    }
    if (older || answer.type != kNormalPacket)
        return std::nullopt; // a client that cannot do the older exchange gives up here
    const EncryptedPasswords sent = parseEncryptedPasswords(answer.body);
    const std::optional<std::string> plain =
        sent.complete ? key.decrypt(sent.password) : std::nullopt;
    if (!plain || plain->compare(0, nonce.size(), nonce) != 0) {
        ByteWriter reply;
        putLoginRefused(reply, server_.options_.name, server_.options_.recorded);
        packets.clear();
        appendPackets(packets, kReplyPacket, reply.data(), 512, true);
        send(packets);
        return std::nullopt;
    }
    const std::optional<std::string> remote = key.decrypt(sent.remotePassword);
    std::lock_guard lock(server_.mutex_);
    log_->encryptedPassword = true;
    log_->passwordReceived = plain->substr(nonce.size());
    if (remote && remote->compare(0, nonce.size(), nonce) == 0)
        log_->remotePasswordReceived = remote->substr(nonce.size());
    return plain->substr(nonce.size());
}

bool Server::Connection::refuseLogin(const Message& reason, const StreamSettings& settings) {
    ByteWriter reply;
    putLoginRefusedFor(reply, reason, settings.serverName, settings.recorded);
    std::string packets;
    appendPackets(packets, kReplyPacket, reply.data(), 512, true);
    send(packets);
    return false; // the socket closes at once
}

void Server::Connection::answer(Session& session, const StreamSettings& settings,
                                const std::string& text,
                                const std::vector<RpcParameter>* parameters) {
    record(text);
    const Faults faults = server_.faults();
    if (!faults.stallOn.empty() && text.find(faults.stallOn) != std::string::npos &&
        waitForAttention(faults.stallMs))
        return; // cancelled while held: the attention is acknowledged next
    StreamSettings used = settings;
    // A procedure's results came as ROWFMT from a recorded server that granted wide tables.
    if (parameters && settings.recorded.narrowProcedureFormats)
        used.wideRowFormat = false;
    auto stream = std::make_unique<ResultStream>(*this, used, faults);
    DatabaseGuard guard(*stream, *account_, userId_);
    try {
        if (!faults.deadlockOn.empty() && text.find(faults.deadlockOn) != std::string::npos) {
            UnseenResults unseen;
            session.language("if @@trancount > 0 rollback transaction", unseen);
            stream->message(deadlockVictim());
            stream->done(false, std::nullopt, true);
        } else if (parameters)
            session.rpc(text, *parameters, guard);
        else
            session.language(text, guard);
        if (!guard.restore().empty()) {
            UnseenResults nothing;
            session.language("use [" + guard.restore() + "]", nothing);
        }
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
    settings.recorded = server_.options_.recorded;
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
