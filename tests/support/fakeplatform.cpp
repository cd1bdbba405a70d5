#include "support/fakeplatform.h"

#include "app/mainmodule.h"
#include "app/settingsstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>

namespace testing {

FakePlatform::FakePlatform() {
    folder = dir_.path() + QStringLiteral("/program");
    settingsDir = dir_.path() + QStringLiteral("/settings");
    QDir().mkpath(folder);
    QDir().mkpath(settingsDir);
}

app::SecretStore::Read FakeSecretStore::read(const QString& key) {
    if (!available)
        return {Answer::Unavailable, {}};
    if (!values.contains(key))
        return {Answer::Missing, {}};
    return {Answer::Found, values.value(key)};
}

void FakeSecretStore::write(const QString& key, const QString& value,
                            std::function<void(bool stored)> stored) {
    ++writes;
    const bool taken = available && !refuseWrites;
    if (taken)
        values.insert(key, value);
    if (stored)
        stored(taken);
}

void FakePlatform::messageBox(QWidget*, const QString& text, int style, const QString& title) {
    ShownBox box{text, style, title};
    boxes << box;
    if (onBox)
        onBox(box);
}

std::unique_ptr<QSettings> FakePlatform::openSettings(const QString& applicationKey) {
    return std::make_unique<QSettings>(settingsDir + QLatin1Char('/') + applicationKey +
                                           QStringLiteral(".ini"),
                                       QSettings::IniFormat);
}

void FakePlatform::processEvents() {
    ++eventPumps;
    QCoreApplication::processEvents();
}

PlatformGuard::PlatformGuard() {
    auto fake = std::make_unique<FakePlatform>();
    fake_ = fake.get();
    previous_ = app::setPlatform(std::move(fake));
}

PlatformGuard::~PlatformGuard() {
    app::setPlatform(std::move(previous_));
}

bool saveConnectionValues(const db::ConnectionFields& f) {
    const std::pair<const char*, QString> values[] = {{"Server", f.server},
                                                      {"Port", f.port},
                                                      {"User", f.user},
                                                      {"Password", f.password},
                                                      {"Database", f.database}};
    bool stored = true;
    for (const auto& [key, value] : values)
        stored = app::SaveSetting(app::ApplicationKey, app::ProductName, QString::fromLatin1(key),
                                  value) &&
                 stored;
    return stored;
}

} // namespace testing
