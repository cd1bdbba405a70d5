#pragma once

// Where the connection page keeps its password. When the desktop's secret store answers,
// the password lives there and the settings file holds none; a password an earlier
// version left in the file moves over on the first start that finds the store. Where no
// store answers, the settings file keeps it as before (a file only its user may read).

#include <QString>

namespace app {

// The stored password, read at start-up; decides where later changes go. Throws when the
// settings store cannot be read.
QString LoadPassword();

// Stores the password at once (the secret store's write finishes in the background; the
// file takes it instead when the store refuses). Never throws.
void SavePassword(const QString& password);

} // namespace app
