#pragma once

// The shared look of the pages: skin, colours, hand pointer, hover rule, program icon.

#include <QCursor>
#include <QIcon>
#include <QString>

class QWidget;

namespace app {

class Page;

// Button face, and the design background of every page.
inline constexpr quint32 kButtonFace = 0x8000000F;
inline constexpr quint32 kWhite = 0x00FFFFFF;

// Applies the skin file beside the program (program folder + "\x\o.cjs") to the
// connection page, when the file is there. Throws on a failing step (the caller reports).
void ApplySkin(Page& connectionPage);

// Gives a page and its frames, labels, check boxes and option buttons button face.
void SetFormColors(QWidget& form);

// The hand pointer file beside the program: program folder + "\HAND-M.CUR".
QString handCursorPath();
// Loads a Windows cursor file with its hot spot; throws when it cannot be read.
QCursor LoadMouseIcon(const QString& path);

// The hover rule: moving over `control` sets the page's MousePointer to `value` (0 or 99)
// unless the page shows the hourglass.
void installHoverRule(Page& page, QWidget* control, short value);

// The program's icon (32, 48, 128 and 256 pixels).
QIcon programIcon();

} // namespace app
