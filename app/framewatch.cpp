#include "app/framewatch.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <map>

#if __has_include(<xcb/xproto.h>)
#include <xcb/xproto.h>
#define QUORVANE_WATCH_X11 1
#endif

namespace app {
namespace {

struct Watched {
    QPointer<QWidget> window;
    std::function<void()> changed;
};

// The X11 events of the application: a property change of a watched window (the frame
// extents among them) asks the window to look at its frame again.
class FrameWatch : public QObject, public QAbstractNativeEventFilter {
  public:
    explicit FrameWatch(QCoreApplication* application) : QObject(application) {
        application->installNativeEventFilter(this);
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
#ifdef QUORVANE_WATCH_X11
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & ~0x80) != XCB_PROPERTY_NOTIFY)
            return false;
        const auto* notify = static_cast<const xcb_property_notify_event_t*>(message);
        const auto found = watched.find(notify->window);
        if (found == watched.end())
            return false;
        if (!found->second.window) {
            watched.erase(found);
            return false;
        }
        // Qt reads the new frame once it has handled the event itself.
        QTimer::singleShot(0, found->second.window, found->second.changed);
#else
        Q_UNUSED(eventType);
        Q_UNUSED(message);
#endif
        return false;
    }

    std::map<quintptr, Watched> watched;
};

// Lives with the application object (which owns it).
FrameWatch& frameWatch() {
    static QPointer<FrameWatch> watch;
    if (!watch)
        watch = new FrameWatch(QCoreApplication::instance());
    return *watch;
}

} // namespace

QSize outerSize(const QWidget& window) {
    // The widget keeps the frame it was told of at its last move or resize; the window
    // asks the window system again when the frame was reported changed since.
    if (const QWindow* handle = window.windowHandle())
        return window.size().grownBy(handle->frameMargins());
    return window.frameGeometry().size();
}

void watchFrame(QWidget& window, std::function<void()> changed) {
    if (!QCoreApplication::instance())
        return;
    frameWatch().watched[quintptr(window.winId())] = {&window, std::move(changed)};
}

} // namespace app
