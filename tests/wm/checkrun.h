#pragma once

// A run of checks: each prints one line, "ok: ..." or "FAILED: ...", and the run ends
// with the number that failed. The program runs on the desktop platform, with its own
// settings store and without the occasional visit to the maker's home page; a box that
// shows is a failed check.

#include "app/platform.h"
#include "app/secretstore.h"

#include <QSettings>
#include <QString>
#include <memory>

namespace wm {

void check(bool ok, const QString& what);
// Prints the count of failed checks; answers the exit status (0 when none failed).
int finish();

// The desktop, without the occasional visit to the maker's home page.
class CheckPlatform : public app::Platform {
  public:
    CheckPlatform() : desktop_(app::makeDesktopPlatform(QStringLiteral("Quorvane WM check"))) {}
    void messageBox(QWidget* parent, const QString& text, int style, const QString& title) override;
    void openUrl(const QString&) override {}
    double secondsSinceMidnight() override { return desktop_->secondsSinceMidnight(); }
    double randomDraw(double seed) override { return desktop_->randomDraw(seed); }
    QString programFolder() override { return desktop_->programFolder(); }
    std::unique_ptr<QSettings> openSettings(const QString& key) override {
        return desktop_->openSettings(key);
    }
    app::SecretStore& secrets() override { return *secrets_; } // never the user's keyring
    void endProgram() override { desktop_->endProgram(); }
    void processEvents() override { desktop_->processEvents(); }

  private:
    std::unique_ptr<app::Platform> desktop_;
    std::unique_ptr<app::SecretStore> secrets_ = app::makeAbsentStore();
};

} // namespace wm
