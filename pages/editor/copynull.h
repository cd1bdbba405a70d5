#pragma once

// The word NULL copies as under "Copy NULL As" (empty: an empty cell), kept with the view's
// settings, apart from the connection values.

#include <QString>

namespace pages {

QString copyNullWord();
void setCopyNullWord(const QString& word);

} // namespace pages
