#include "pages/program.h"

#include "app/shutdown.h"
#include "pages/connection/form1.h"
#include "pages/wizard.h"

#include <QApplication>

namespace pages {

void startProgram() {
    Form1& connectionPage = form1();
    connectionPage.Load();
    if (!connectionPage.hiddenByLoad() && !app::programEnded())
        connectionPage.Show();
}

int runProgram(QApplication& application, app::ProgramKind kind,
               const std::function<void()>& beforeStart) {
    app::installDesktop(kind);
    if (beforeStart)
        beforeStart();
    startProgram();
    const int result = app::programEnded() ? 0 : application.exec();
    // The pages go before the application object does.
    resetPages();
    return result;
}

} // namespace pages
