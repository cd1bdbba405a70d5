#include "app/startup.h"

#include "app/lookandfeel.h"
#include "app/mainmodule.h"
#include "db/connection.h"
#include "app/platform.h"
#include "pages/connection/form1.h"
#include "pages/wizard.h"

#include <QApplication>

namespace app {

void startProgram() {
    pages::Form1& connectionPage = pages::form1();
    connectionPage.Load();
    if (!connectionPage.hiddenByLoad())
        connectionPage.Show();
}

int runProgram(QApplication& application, ProgramKind kind,
               const std::function<void()>& beforeStart) {
    setPlatform(makeDesktopPlatform(kind == ProgramKind::Sample ? QStringLiteral("Quorvane Sample")
                                                                : kQuorvaneSettingsName));
    QCoreApplication::setOrganizationName(ApplicationKey);
    QCoreApplication::setApplicationName(ProductName);
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));
    // Hidden pages stay loaded while another shows, and a box may close while every page
    // is hidden: the program ends only through a page's unload.
    QApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setDesktopFileName(QStringLiteral("quorvane"));
    QApplication::setWindowIcon(programIcon());
    // A connect blocks the program until it returns or times out; meanwhile the windows
    // repaint (the hourglass shows) while clicks and keys wait their turn.
    db::setConnectWaitHook(
        [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });

    if (beforeStart)
        beforeStart();
    startProgram();
    const int result = application.exec();
    // The pages go before the application object does.
    pages::resetPages();
    return result;
}

} // namespace app
