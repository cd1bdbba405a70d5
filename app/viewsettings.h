#pragma once

// Where the program keeps its own view choices: apart from the five connection values,
// which the store under ApplicationKey holds alone. The grid's "Copy NULL As" and the
// editor window's size and place live here.

#include <QString>

namespace app {

inline const QString ViewSettingsKey = QStringLiteral("Halvetri/View");

} // namespace app
