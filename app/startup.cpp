#include "app/startup.h"

#include <QApplication>

namespace app {

int runProgram(QApplication& application, ProgramKind) { return application.exec(); }

} // namespace app
