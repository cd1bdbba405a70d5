#pragma once

// The per-user settings store of the connection values: text values by application key,
// section and key.

#include <QString>

namespace app {

// The stored value when the key exists (also when it is empty), otherwise the default.
// Reading a missing key creates nothing. Throws when the store cannot be read.
QString GetSetting(const QString& application, const QString& section, const QString& key,
                   const QString& defaultValue = {});

// Stores the value exactly as given and writes it through at once. Never throws; answers
// whether the store took it.
bool SaveSetting(const QString& application, const QString& section, const QString& key,
                 const QString& value);

// Removes the key and writes that through at once; answers whether the store has no such
// key afterwards. Never throws.
bool DeleteSetting(const QString& application, const QString& section, const QString& key);

} // namespace app
