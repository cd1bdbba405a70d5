#pragma once

// A run of the program: the connection page is created and its start-up sequence run,
// then the event loop drives the pages until one of them is closed.

#include "app/startup.h"

#include <functional>

class QApplication;

namespace pages {

// Installs the desktop frame of the program kind, creates the connection page, runs its
// start-up sequence, shows it unless the start-up moved on, and runs the event loop.
// `beforeStart` runs once the frame is in place, before the connection page is created
// (the sample program seeds its store there).
int runProgram(QApplication& application, app::ProgramKind kind,
               const std::function<void()>& beforeStart = {});

// Creates the connection page, runs its start-up sequence and shows it unless that moved
// on to the table chooser (or a window was closed meanwhile). Uses the platform in force.
void startProgram();

} // namespace pages
