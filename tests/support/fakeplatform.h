#pragma once

// A platform for tests: records every box, URL and program end instead of showing or
// doing them, answers the clock and random draw as told, and keeps settings in a
// private folder.

#include "app/platform.h"
#include "app/secretstore.h"
#include "db/connect/sybasease.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QTemporaryDir>
#include <functional>

namespace testing {

// A secret store in memory. Unavailable unless a test says otherwise, as on a machine
// without a keyring; it answers at once.
class FakeSecretStore : public app::SecretStore {
  public:
    Read read(const QString& key) override;
    void write(const QString& key, const QString& value,
               std::function<void(bool stored)> stored) override;

    bool available = false;
    bool refuseWrites = false; // the store answers reads but takes nothing
    QMap<QString, QString> values;
    int writes = 0;
};

struct ShownBox {
    QString text;
    int style = 0;
    QString title;
};

class FakePlatform : public app::Platform {
  public:
    FakePlatform();

    void messageBox(QWidget* parent, const QString& text, int style, const QString& title) override;
    // With browserFails, the desktop's own refusal of an address no browser takes.
    void openUrl(const QString& address) override {
        urls << address;
        if (browserFails)
            app::makeDesktopPlatform()->openUrl(QString());
    }
    double secondsSinceMidnight() override { return seconds; }
    double randomDraw(double) override { return draw; }
    QString programFolder() override { return folder; }
    std::unique_ptr<QSettings> openSettings(const QString& applicationKey) override;
    app::SecretStore& secrets() override { return secretStore; }
    void endProgram() override { ++programEnds; }
    void processEvents() override;

    FakeSecretStore secretStore;
    QList<ShownBox> boxes;
    QStringList urls;
    bool browserFails = false;
    int programEnds = 0;
    int eventPumps = 0;
    double seconds = 0;
    double draw = 0.5;
    QString folder;      // the program folder (a temporary one unless a test sets another)
    QString settingsDir; // where the settings files go
    // Runs while a box "shows" (a test may act as the user would).
    std::function<void(const ShownBox&)> onBox;

  private:
    QTemporaryDir dir_;
};

// Installs a fresh FakePlatform for the lifetime of the guard and restores the previous.
class PlatformGuard {
  public:
    PlatformGuard();
    ~PlatformGuard();
    FakePlatform& fake() { return *fake_; }

  private:
    FakePlatform* fake_;
    std::unique_ptr<app::Platform> previous_;
};

// Stores the five connection values as the connection page would; answers whether the
// store took all of them.
bool saveConnectionValues(const db::ConnectionFields& fields);

} // namespace testing
