#include "app/startup.h"

#include "app/mainmodule.h"
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

    if (beforeStart)
        beforeStart();
    startProgram();
    const int result = application.exec();
    // The pages go before the application object does.
    pages::resetPages();
    return result;
}

} // namespace app
