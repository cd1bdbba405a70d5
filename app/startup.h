#pragma once

// The frame of a run of the program: the platform, the program's names and icon, and
// what it does while a connection attempt waits. The pages themselves, and the event
// loop that drives them, are wired up by pages/program.h.

class QApplication;

namespace app {

enum class ProgramKind { Quorvane, Sample };

// Installs the desktop platform (with the settings store of the program kind), the
// program's names and icon, and the connect wait.
void installDesktop(ProgramKind kind);

} // namespace app
