#pragma once

class QApplication;

namespace app {

enum class ProgramKind { Quorvane, Sample };

// Installs the desktop platform (with the settings store of the program kind), creates
// the connection page, runs its start-up sequence, shows it unless the start-up moved on,
// and runs the event loop.
int runProgram(QApplication& application, ProgramKind kind);

} // namespace app
