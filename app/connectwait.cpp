#include "app/connectwait.h"

#include "db/connect/connection.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWindow>
#include <memory>
#include <vector>

namespace app {
namespace {

bool isInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

// Holds the user's input back for as long as a connect waits. The window system counts
// a window's close request among the input (X11 does), so the wait cannot simply leave
// input queued there: it takes every event and keeps the input here instead. The input
// reaches the windows as the window system delivered it (the window, not the control),
// so the pointer's place and the modal state are decided again when it is let go.
class HeldInput : public QObject {
  public:
    explicit HeldInput(QObject* parent) : QObject(parent) {
        release_.setSingleShot(true);
        release_.setInterval(0);
        connect(&release_, &QTimer::timeout, this, &HeldInput::releaseWhenDone);
    }

    void pass() {
        if (!holding_) {
            qApp->installEventFilter(this);
            holding_ = true;
        }
        // Fires at the first turn of the event loop that is not a pass of the wait.
        release_.start();
        insidePass_ = true;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        insidePass_ = false;
    }

  protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        if (!insidePass_ || !isInput(event->type()))
            return false;
        // Pointer and keys reach a window first; shortcuts and an input method's text go
        // to their targets directly.
        const bool direct =
            event->type() == QEvent::Shortcut || event->type() == QEvent::InputMethod;
        if (!direct && !qobject_cast<QWindow*>(receiver))
            return false;
        held_.push_back({QPointer<QObject>(receiver), std::unique_ptr<QEvent>(event->clone())});
        return true;
    }

  private:
    struct Held {
        QPointer<QObject> receiver;
        std::unique_ptr<QEvent> event;
    };

    void releaseWhenDone() {
        if (insidePass_) {
            release_.start();
            return;
        }
        qApp->removeEventFilter(this);
        holding_ = false;
        std::vector<Held> held = std::move(held_);
        held_.clear();
        for (Held& item : held) {
            // A box that opened meanwhile blocks the other windows, as it blocks new input.
            if (!item.receiver || QApplication::activeModalWidget())
                continue;
            if (auto* window = qobject_cast<QWindow*>(item.receiver.data());
                window && !window->isVisible())
                continue;
            QCoreApplication::postEvent(item.receiver, item.event.release());
        }
    }

    QTimer release_;
    bool holding_ = false;
    bool insidePass_ = false;
    std::vector<Held> held_;
};

// Lives with the application object (which owns it).
HeldInput& heldInput() {
    static QPointer<HeldInput> held;
    if (!held)
        held = new HeldInput(QCoreApplication::instance());
    return *held;
}

} // namespace

void runConnectWait() {
    if (!QCoreApplication::instance())
        return;
    heldInput().pass();
}

void installConnectWait() {
    db::setConnectWaitHook([] { runConnectWait(); });
}

} // namespace app
