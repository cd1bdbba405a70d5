#pragma once

#include <functional>

class QApplication;

namespace app {

enum class ProgramKind { Quorvane, Sample };

// Installs the desktop platform (with the settings store of the program kind), creates
// the connection page, runs its start-up sequence, shows it unless the start-up moved on,
// and runs the event loop. `beforeStart` runs once the platform is in place, before the
// connection page is created (the sample program seeds its store there).
int runProgram(QApplication& application, ProgramKind kind,
               const std::function<void()>& beforeStart = {});

// Creates the connection page, runs its start-up sequence and shows it unless that moved
// on to the table chooser. Uses the platform in force.
void startProgram();

} // namespace app
