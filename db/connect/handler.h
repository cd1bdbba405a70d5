#pragma once

// The guarded handler: a procedure written as numbered statements. Each statement runs
// through the handler; when one fails (throws), the failure is reported once with the
// handler's location text and the statement's number, cleared, and the procedure goes on
// with the next step. Nothing thrown by a statement ever leaves the handler.

#include <QString>
#include <functional>

namespace db {

class Handler {
  public:
    using Report =
        std::function<void(const QString& location, int line, const QString& description)>;

    Handler(QString location, Report report);

    // One plain statement, or one of several statements under the same number. Answers
    // whether it completed.
    bool step(int line, const std::function<void()>& statement);

    // The condition of a guarded statement or block. Answers true when the condition
    // holds, and also when testing it failed: the guarded action is the next step then.
    bool cond(int line, const std::function<bool()>& condition);

    // The condition of a loop. A condition that cannot be tested is reported once and
    // answers false, so the loop is left instead of failing again and again.
    bool loopCond(int line, const std::function<bool()>& condition);

    // Starts a numbered statement without running it through the trap (for code whose
    // failures the handler routes elsewhere itself).
    void setLine(int line) { line_ = line; }
    int line() const { return line_; }
    const QString& location() const { return location_; }

    // Reports a failure caught by the caller at the current line.
    void report(const QString& description);

    // Once the program is ending no statement of any handler runs any more: steps and
    // conditions answer false without running, loops are left, nothing is reported, and
    // connection waits give up.
    static void haltAll();
    static bool halted();
    // Lets statements run again (a new run of the program in the same process).
    static void resumeAll();

    // The description of the exception being handled (call inside a catch block).
    static QString describeCurrentException();

  private:
    // A condition tested at `line`; one that fails is reported and answers `whenFailed`.
    bool test(int line, const std::function<bool()>& condition, bool whenFailed);
    QString location_;
    Report report_;
    int line_ = 0;
};

} // namespace db
