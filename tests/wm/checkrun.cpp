#include "checkrun.h"

#include <QSettings>
#include <cstdio>

namespace wm {
namespace {
int failures = 0;
} // namespace

void check(bool ok, const QString& what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", qPrintable(what));
    if (!ok)
        ++failures;
}

int finish() {
    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}

void CheckPlatform::messageBox(QWidget* parent, const QString& text, int style,
                               const QString& title) {
    check(false, QStringLiteral("no box shows: %1").arg(text));
    desktop_->messageBox(parent, text, style, title);
}

} // namespace wm
