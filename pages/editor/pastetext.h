#pragma once

// Reads a block of cells from clipboard text as spreadsheets write it: cells separated by
// tabs, rows by line breaks (a last line break ignored); a cell in double quotes may hold
// tabs, line breaks and doubled quotes.

#include <QString>
#include <vector>

namespace pages {

using CellBlock = std::vector<std::vector<QString>>;

CellBlock parseCellBlock(const QString& text);

} // namespace pages
