#pragma once

// The end of the program. Closing any page ends it at once, from any point: during a
// connection attempt's wait and during a table listing as well. From then on no
// statement of any handler runs (the one under way skips the rest of its steps), every
// connection wait gives up, no page is shown again, and the platform takes the windows
// down and leaves the event loop. Nothing needs saving then: each connection value was
// stored, and synced, the moment it changed.

namespace app {

// Ends the program. Runs once; later calls do nothing.
void endProgram();
// True once the program has ended.
bool programEnded();
// Starts a new run in the same process (tests run the wizard many times).
void resetProgramEnd();

} // namespace app
