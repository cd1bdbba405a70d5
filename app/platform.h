#pragma once

// The seams: every effect of the platform that blocks, leaves the process or depends on
// the machine goes through here, so tests can run every handler headless and see every
// box that would show.

#include <QString>
#include <memory>

class QWidget;
class QSettings;

namespace app {

class SecretStore;

// Message box styles, as the program names them.
inline constexpr int kStyleOkOnly = 0;       // OK button, no icon
inline constexpr int kStyleExclamation = 48; // OK button, exclamation icon

class Platform {
  public:
    virtual ~Platform() = default;

    // Shows a modal box and returns when it has been closed.
    virtual void messageBox(QWidget* parent, const QString& text, int style,
                            const QString& title) = 0;
    // Opens a web address in the desktop's browser, minimised, without waiting; throws
    // when the browser cannot be started.
    virtual void openUrl(const QString& address) = 0;
    // Seconds since midnight, with fraction (the random generator's seed).
    virtual double secondsSinceMidnight() = 0;
    // A uniform draw from [0, 1) of a generator seeded with `seed`.
    virtual double randomDraw(double seed) = 0;
    // The folder that holds the program file, without a trailing separator.
    virtual QString programFolder() = 0;
    // The per-user settings store of an application key.
    virtual std::unique_ptr<QSettings> openSettings(const QString& applicationKey) = 0;
    // The desktop's secret store (secretstore.h).
    virtual SecretStore& secrets() = 0;
    // Ends the program at once.
    virtual void endProgram() = 0;
    // Lets the window system process pending events once.
    virtual void processEvents() = 0;
};

// The platform in force; the real desktop unless a test installed its own.
Platform& platform();
// Installs a platform (tests, the sample program); returns the previous one.
std::unique_ptr<Platform> setPlatform(std::unique_ptr<Platform> platform);

// The real desktop. `settingsName` names the program's own store within an application
// key, so the sample program keeps its settings apart from the real program's.
inline const QString kQuorvaneSettingsName = QStringLiteral("Quorvane");
std::unique_ptr<Platform> makeDesktopPlatform(const QString& settingsName = kQuorvaneSettingsName);

} // namespace app
