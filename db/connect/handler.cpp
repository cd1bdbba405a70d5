#include "db/connect/handler.h"

#include "db/odbc/dberror.h"

#include <atomic>
#include <exception>
#include <utility>

namespace db {
namespace {
std::atomic<bool> haltedFlag{false};
} // namespace

void Handler::haltAll() {
    haltedFlag = true;
}
bool Handler::halted() {
    return haltedFlag.load();
}
void Handler::resumeAll() {
    haltedFlag = false;
}

Handler::Handler(QString location, Report report)
    : location_(std::move(location)), report_(std::move(report)) {}

bool Handler::step(int line, const std::function<void()>& statement) {
    line_ = line;
    if (halted())
        return false;
    try {
        statement();
        return true;
    } catch (...) {
        report(describeCurrentException());
        return false;
    }
}

bool Handler::cond(int line, const std::function<bool()>& condition) {
    return test(line, condition, true);
}

bool Handler::loopCond(int line, const std::function<bool()>& condition) {
    return test(line, condition, false);
}

bool Handler::test(int line, const std::function<bool()>& condition, bool whenFailed) {
    line_ = line;
    if (halted())
        return false;
    try {
        return condition();
    } catch (...) {
        report(describeCurrentException());
        return whenFailed;
    }
}

void Handler::report(const QString& description) {
    if (!report_ || halted())
        return;
    try {
        report_(location_, line_, description);
    } catch (...) {
        // The report itself must never stop the handler.
    }
}

QString Handler::describeCurrentException() {
    try {
        throw;
    } catch (const DbError& e) {
        return e.description();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

} // namespace db
