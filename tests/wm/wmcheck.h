#pragma once

class QApplication;

namespace wm {

// Runs the whole program until a close through the window manager ends it; answers the
// exit status of the check.
int runToTheEnd(QApplication& application);

} // namespace wm
