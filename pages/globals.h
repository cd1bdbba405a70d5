#pragma once

#include "db/dialect/tablename.h"

#include <QString>

namespace Globals {
// The table chosen on the chooser page, as the list shows it; empty at program start.
inline QString SelectedTableName;
// The same table as the program names it to the server.
inline db::TableName SelectedTable;
} // namespace Globals
