#include "app/settingsstore.h"

#include "app/platform.h"

#include <QSettings>
#include <stdexcept>

namespace app {
namespace {
QString fullKey(const QString& section, const QString& key) {
    return section + QLatin1Char('/') + key;
}
} // namespace

QString GetSetting(const QString& application, const QString& section, const QString& key,
                   const QString& defaultValue) {
    const auto settings = platform().openSettings(application);
    if (!settings || settings->status() != QSettings::NoError)
        throw std::runtime_error("The settings store cannot be read.");
    const QString name = fullKey(section, key);
    if (!settings->contains(name))
        return defaultValue;
    return settings->value(name).toString();
}

bool SaveSetting(const QString& application, const QString& section, const QString& key,
                 const QString& value) {
    try {
        const auto settings = platform().openSettings(application);
        if (!settings)
            return false;
        settings->setValue(fullKey(section, key), value);
        settings->sync();
        return settings->status() == QSettings::NoError;
    } catch (...) {
        return false;
    }
}

bool DeleteSetting(const QString& application, const QString& section, const QString& key) {
    try {
        const auto settings = platform().openSettings(application);
        if (!settings)
            return false;
        settings->remove(fullKey(section, key));
        settings->sync();
        return settings->status() == QSettings::NoError;
    } catch (...) {
        return false;
    }
}

} // namespace app
