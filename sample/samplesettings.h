#pragma once

// The five connection values that log in to the sample's server, stored as the
// connection page stores them. For programs that link the application frame.

#include "app/settingsstore.h"
#include "sample/sampleserver.h"

#include <QString>
#include <utility>

namespace sample {

inline void storeConnectionValues(quint16 port) {
    const std::pair<const char*, QString> values[] = {{"Server", QLatin1String(kServer)},
                                                      {"Port", QString::number(port)},
                                                      {"User", QLatin1String(kUser)},
                                                      {"Password", QLatin1String(kPassword)},
                                                      {"Database", QLatin1String(kDatabase)}};
    for (const auto& [key, value] : values)
        app::SaveSetting(app::ApplicationKey, app::ProductName, QString::fromLatin1(key), value);
}

} // namespace sample
