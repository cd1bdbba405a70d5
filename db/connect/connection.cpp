#include "db/connect/connection.h"

#include "db/connect/connectionstate.h"
#include "db/connect/handler.h"
#include "db/read/recordset.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

namespace db {
namespace {

std::function<void()>& waitHook() {
    static std::function<void()> hook;
    return hook;
}

// Connect attempts whose thread has not finished, abandoned ones included.
std::atomic<int> attemptsUnderWay{0};

// One connect attempt, run on a thread of its own with its own environment. The caller
// waits for it at most the time-out; an attempt it stops waiting for finishes (and frees
// its handles) on its own. Nothing of the caller's is touched by the thread: it owns
// copies of the string and the provider and shares only this record.
struct Attempt {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::shared_ptr<odbc::DriverConnection> connection;
    std::exception_ptr error;
};

void runAttempt(std::shared_ptr<Attempt> attempt, QString odbcString,
                std::shared_ptr<const Provider> provider) {
    std::shared_ptr<odbc::DriverConnection> connection;
    std::exception_ptr error;
    try {
        connection =
            std::make_shared<odbc::DriverConnection>(std::make_shared<odbc::Environment>());
        // The deadline is the caller's alone. Given a login time-out of its own, FreeTDS
        // never returns once that time-out has fired against a silent server, not even
        // when the server later hangs up, and nests a further wait every few seconds, its
        // stack growing all the while. Without one, an abandoned attempt ends as soon as
        // the server closes the connection.
        connection->connect(odbcString, 0);
        provider->afterConnect(*connection);
    } catch (...) {
        error = std::current_exception();
        connection.reset();
    }
    {
        std::lock_guard lock(attempt->mutex);
        attempt->connection = std::move(connection);
        attempt->error = error;
        attempt->finished = true;
        attempt->done.notify_all();
    }
    // When the caller has gone, the connection (if any) is closed and freed here.
    attempt.reset();
    provider.reset();
    odbcString.clear();
    --attemptsUnderWay;
}

std::shared_ptr<odbc::DriverConnection>
connectWithDeadline(const QString& odbcString, std::shared_ptr<const Provider> provider,
                    int timeoutSeconds) {
    auto attempt = std::make_shared<Attempt>();
    ++attemptsUnderWay;
    try {
        std::thread(runAttempt, attempt, odbcString, std::move(provider)).detach();
    } catch (const std::system_error& e) {
        --attemptsUnderWay;
        throw DbError(QStringLiteral("The connection could not be started: %1")
                          .arg(QString::fromLocal8Bit(e.what())),
                      QStringLiteral("HY001"));
    }

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(timeoutSeconds);
    std::unique_lock lock(attempt->mutex);
    while (!attempt->finished) {
        if (timeoutSeconds > 0 && Clock::now() >= deadline)
            break;
        auto until = Clock::now() + std::chrono::milliseconds(50);
        if (timeoutSeconds > 0 && until > deadline)
            until = deadline;
        attempt->done.wait_until(lock, until);
        if (!attempt->finished && waitHook()) {
            lock.unlock();
            waitHook()();
            lock.lock();
        }
        // The program ended while it waited (a window closed meanwhile): the attempt
        // finishes on its own thread, nobody waits for it.
        if (!attempt->finished && Handler::halted())
            throw DbError(QStringLiteral("Operation cancelled"), QStringLiteral("HY008"), 0);
    }
    if (!attempt->finished)
        throw DbError(QStringLiteral("Login timeout expired"), QStringLiteral("HYT00"), 0);
    if (attempt->error)
        std::rethrow_exception(attempt->error);
    return std::move(attempt->connection);
}

void checkTimeout(int seconds) {
    if (seconds < 0)
        throw DbError(QStringLiteral("Arguments are of the wrong type, are out of acceptable "
                                     "range, or are in conflict with one another."),
                      QStringLiteral("HY024"), 3001);
}

} // namespace

void setConnectWaitHook(std::function<void()> hook) {
    waitHook() = std::move(hook);
}

int connectAttemptsUnderWay() {
    return attemptsUnderWay.load();
}

odbc::DriverConnection& ConnectionState::open() const {
    if (!driver)
        throw DbError(QString::fromLatin1(kObjectClosed), QStringLiteral("HY010"), 3704);
    return *driver;
}

Connection::Connection() : state_(std::make_shared<ConnectionState>()) {}

short Connection::CursorLocation() const {
    return state_->cursorLocation;
}
void Connection::setCursorLocation(short location) {
    state_->cursorLocation = location;
}
int Connection::CommandTimeout() const {
    return state_->commandTimeout;
}
void Connection::setCommandTimeout(int seconds) {
    checkTimeout(seconds);
    state_->commandTimeout = seconds;
}
int Connection::ConnectionTimeout() const {
    return state_->connectionTimeout;
}
void Connection::setConnectionTimeout(int seconds) {
    checkTimeout(seconds);
    state_->connectionTimeout = seconds;
}

void Connection::Open(const QString& connectionString) {
    if (state_->driver)
        throw DbError(QString::fromLatin1(kObjectOpen), QStringLiteral("HY010"), 3705);
    const ConnectionProperties properties = ConnectionProperties::parse(connectionString);
    auto provider = findProvider(properties.value(QStringLiteral("Provider")));
    const QString odbcString = provider->odbcConnectionString(properties);
    state_->driver = connectWithDeadline(odbcString, provider, state_->connectionTimeout);
    state_->provider = std::move(provider);
    state_->odbcString = odbcString;
    state_->place = properties.value(QStringLiteral("Data Source")) + QLatin1Char('/') +
                    properties.value(QStringLiteral("Catalog"));
    state_->serverCharset.reset();
    state_->spareRead = std::make_shared<SpareConnection>();
}

void Connection::Close() {
    state_->driver.reset();
    state_->provider.reset();
    state_->odbcString.clear();
    state_->place.clear();
    state_->serverCharset.reset();
    state_->spareRead->close();
}

bool Connection::isOpen() const {
    return state_->driver != nullptr;
}

std::shared_ptr<odbc::DriverConnection> Connection::driver() const {
    return state_->driver;
}

} // namespace db
