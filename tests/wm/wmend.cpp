// The whole program under a window manager, event loop and all: the connection page's
// "Next >" waits for a server that never answers, and the page is closed through the
// window manager meanwhile. The run must come to its end at once (a lost close would
// leave it waiting until the attempt's time-out).

#include "wmcheck.h"

#include "app/mainmodule.h"
#include "app/settingsstore.h"
#include "checkrun.h"
#include "pages/connection/form1.h"
#include "pages/program.h"
#include "pages/wizard.h"
#include "support/loginbackend.h"
#include "x11window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <functional>

namespace wm {
namespace {

// Runs a callback when the watched window gets its close event.
class CloseWatch : public QObject {
  public:
    explicit CloseWatch(std::function<void()> closing) : closing_(std::move(closing)) {}

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Close)
            closing_();
        return false;
    }

  private:
    std::function<void()> closing_;
};

} // namespace

int runToTheEnd(QApplication& application) {
    const auto silentOwner = testing::startSilentServer();
    tds::Server& silent = *silentOwner;
    QElapsedTimer clock;
    bool nextReturned = false;
    CloseWatch closeWatch([&] {
        check(!nextReturned, QStringLiteral("the close reached the page while \"Next >\" waited"));
    });
    const int result = pages::runProgram(application, app::ProgramKind::Quorvane, [&] {
        app::setPlatform(std::make_unique<CheckPlatform>());
        const std::pair<const char*, QString> values[] = {{"Server", "127.0.0.1"},
                                                          {"Port", QString::number(silent.port())},
                                                          {"User", "sa"},
                                                          {"Password", "secret"},
                                                          {"Database", "pubs"}};
        for (const auto& [key, value] : values)
            app::SaveSetting(app::ApplicationKey, app::ProductName, QString::fromLatin1(key),
                             value);
        // The start-up's own attempt (no window shows yet) is given up by the server.
        QTimer::singleShot(0, [&] {
            silent.waitForConnections(1, 10000);
            silent.dropConnections();
        });
        // Once the connection page shows, "Next >", and the close while it waits.
        auto* shown = new QTimer(qApp);
        shown->setInterval(50);
        QObject::connect(shown, &QTimer::timeout, [&, shown] {
            pages::Form1& connection = pages::form1();
            if (!connection.isVisible() || !connection.isLoaded())
                return;
            shown->stop();
            check(managed(connection), QStringLiteral("the connection page is on screen"));
            QTimer::singleShot(0, &connection, [&] {
                check(silent.waitForConnections(2, 10000),
                      QStringLiteral("\"Next >\" waits for the server"));
                clock.start();
                closeThroughWindowManager(connection);
            });
            connection.installEventFilter(&closeWatch);
            connection.PushButton3->click();
            nextReturned = true;
        });
        shown->start();
    });
    check(result == 0 && clock.isValid(),
          QStringLiteral("the program ended %1 ms after the close").arg(clock.elapsed()));
    return finish();
}

} // namespace wm
