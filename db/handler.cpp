#include "db/handler.h"

#include "db/dberror.h"

#include <exception>
#include <utility>

namespace db {

Handler::Handler(QString location, Report report)
    : location_(std::move(location)), report_(std::move(report)) {}

bool Handler::step(int line, const std::function<void()>& statement) {
    line_ = line;
    try {
        statement();
        return true;
    } catch (...) {
        report(describeCurrentException());
        return false;
    }
}

bool Handler::cond(int line, const std::function<bool()>& condition) {
    line_ = line;
    try {
        return condition();
    } catch (...) {
        report(describeCurrentException());
        return true;
    }
}

bool Handler::loopCond(int line, const std::function<bool()>& condition) {
    line_ = line;
    try {
        return condition();
    } catch (...) {
        report(describeCurrentException());
        return false;
    }
}

void Handler::report(const QString& description) {
    if (!report_)
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
