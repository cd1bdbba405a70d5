#include "app/lookandfeel.h"

#include "app/page.h"

namespace app {

void ApplySkin(Page&) {}
void SetFormColors(QWidget&) {}
QString handCursorPath() { return {}; }
QCursor LoadMouseIcon(const QString&) { return {}; }
void installHoverRule(Page&, QWidget*, short) {}
QIcon programIcon() { return {}; }

} // namespace app
