#pragma once

#include <QString>

namespace Globals {
// The table chosen on the chooser page; empty at program start.
inline QString SelectedTableName;
} // namespace Globals
