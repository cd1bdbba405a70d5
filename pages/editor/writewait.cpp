#include "pages/editor/writewait.h"

#include "app/mainmodule.h"
#include "app/page.h"
#include "db/write/writetransaction.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <thread>

namespace pages {
namespace {

constexpr int kPollMs = 20;

// Sets the page's hourglass for as long as it lives, then puts the pointer back.
class Hourglass {
  public:
    explicit Hourglass(QWidget* owner)
        : page_(owner ? qobject_cast<app::Page*>(owner->window()) : nullptr) {
        if (page_) {
            previous_ = page_->MousePointer();
            page_->setMousePointer(app::kPointerHourglass);
        }
    }
    ~Hourglass() {
        if (page_)
            page_->setMousePointer(previous_);
    }
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;

  private:
    app::Page* page_;
    short previous_ = app::kPointerDefault;
};

// Runs the loop until `done` holds, or until `ms` have passed (0: no limit).
void runUntil(const std::atomic<bool>& done, int ms, QEventLoop::ProcessEventsFlags flags) {
    QEventLoop loop;
    QTimer poll;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done || (ms > 0 && clock.elapsed() >= ms))
            loop.quit();
    });
    poll.start(kPollMs);
    if (!done)
        loop.exec(flags);
}

} // namespace

db::CellWriteResult waitForWrite(QWidget* owner,
                                 const std::function<db::CellWriteResult()>& write) {
    const Hourglass hourglass(owner);
    db::WriteCancel cancel;
    db::CellWriteResult result;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        db::setCurrentWriteCancel(&cancel);
        result = write();
        db::setCurrentWriteCancel(nullptr);
        done = true;
    });
    // 1. A moment of repainting only: a quick write never shows the box.
    runUntil(done, kWriteBoxDelayMs, QEventLoop::ExcludeUserInputEvents);
    if (!done) {
        // 2. The box, modal over the page, offers Cancel until the write ends.
        QProgressDialog box(QStringLiteral("Saving the change..."), QStringLiteral("Cancel"), 0, 0,
                            owner ? owner->window() : nullptr);
        box.setObjectName(QStringLiteral("WriteProgress"));
        box.setWindowTitle(app::ApplicationTitle());
        box.setWindowModality(Qt::WindowModal);
        box.setMinimumDuration(0);
        box.setAutoReset(false);
        QObject::connect(&box, &QProgressDialog::canceled, &box, [&] {
            box.setLabelText(QStringLiteral("Cancelling the change..."));
            cancel.cancel();
        });
        box.show();
        runUntil(done, 0, QEventLoop::AllEvents);
    }
    worker.join();
    return result;
}

} // namespace pages
