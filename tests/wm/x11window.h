#pragma once

// What the window-manager checks ask of the X server: the actions a window manager
// offers for a window, and the requests its title bar and close box would send.

#include <QStringList>
#include <xcb/xcb.h>

class QWidget;

namespace wm {

xcb_connection_t* x11();
xcb_atom_t atom(const char* name);

// The actions the window manager offers for a window (_NET_WM_ALLOWED_ACTIONS), without
// their "_NET_WM_ACTION_" prefix.
QStringList allowedActions(const QWidget& page);
// Asks the window manager to close the window, as its close box does.
void closeThroughWindowManager(const QWidget& page);
// Asks the window manager to add (or remove) states of the window.
void setState(const QWidget& page, bool add, const char* first, const char* second = nullptr);
// Asks openbox to take the window's frame away (or to give it back).
void setUndecorated(const QWidget& page, bool undecorated);
// Waits (10 s at most) until the window manager has framed the page and offers it actions.
bool managed(const QWidget& page);

} // namespace wm
