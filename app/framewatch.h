#pragma once

// The outer size of a window and word of when it changes. A window manager adds its
// frame after the window was first shown and may change it later (another theme, a
// window taken out of its frame) without the window itself moving or changing size; Qt
// gives no event for that. On X11 the manager reports the frame in a property of the
// window, which is watched here.

#include <QSize>
#include <functional>

class QWidget;

namespace app {

// The window's size with the frame the window system reports now.
QSize outerSize(const QWidget& window);

// Runs `changed` (from the event loop) whenever the window system reports something new
// about the window's frame. The window must have been shown once; the watch ends with it.
void watchFrame(QWidget& window, std::function<void()> changed);

} // namespace app
