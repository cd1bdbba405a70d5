#include "app/startup.h"

#include "app/connectwait.h"
#include "app/lookandfeel.h"
#include "app/mainmodule.h"
#include "app/platform.h"

#include <QApplication>

namespace app {

void installDesktop(ProgramKind kind) {
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
    installConnectWait();
}

} // namespace app
