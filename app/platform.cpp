#include "app/platform.h"

#include <QApplication>
#include <QSettings>

namespace app {
namespace {
std::unique_ptr<Platform>& current() {
    static std::unique_ptr<Platform> platform;
    return platform;
}
} // namespace

Platform& platform() {
    if (!current())
        current() = makeDesktopPlatform();
    return *current();
}

std::unique_ptr<Platform> setPlatform(std::unique_ptr<Platform> platform) {
    std::swap(current(), platform);
    return platform;
}

std::unique_ptr<Platform> makeDesktopPlatform() { return nullptr; }

} // namespace app
