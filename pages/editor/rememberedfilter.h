#pragma once

// The filter last applied to a table, kept with the view's settings (apart from the
// connection values) per server, database and table, by its columns' names. It is offered
// in the filter bar when the table is opened again, never applied on its own.

#include "db/read/filter.h"

#include <QString>
#include <QStringList>

namespace pages {

// A place is where a table's rows came from (db::sourcePlace).
// The filter remembered for a place, on these columns (conditions on columns no longer
// there go); empty when none.
db::Filter rememberedFilter(const QString& place, const QStringList& columns);
// Remembers a filter (an empty one forgets).
void rememberFilter(const QString& place, const db::Filter& filter, const QStringList& columns);

} // namespace pages
