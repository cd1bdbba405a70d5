#pragma once

// What the program does while a connection attempt blocks it: the windows repaint (the
// hourglass shows) and a window that is closed ends the program at once, while clicks
// and keys wait their turn and reach the windows, in order, once the wait is over.

namespace app {

// Installs the wait above as the data layer's connect wait hook.
void installConnectWait();

// One pass of the wait (what the hook runs about every 50 ms).
void runConnectWait();

} // namespace app
