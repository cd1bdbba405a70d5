#pragma once

// Reads a block of cells from clipboard text as spreadsheets write it: cells separated by
// tabs, rows by line breaks (a last line break ignored). A cell that begins with a double
// quote and whose closing quote ends it (tab, line break or end after it) is quoted: it
// may hold tabs, line breaks and doubled quotes. Any other text is taken as it stands
// (`"5" inch` is that text, quotes and all).

#include <QString>
#include <vector>

namespace model {

struct PastedCell {
    QString text;
    bool quoted = false; // written in quotes: always a text, never the NULL word
};
using CellBlock = std::vector<std::vector<PastedCell>>;

CellBlock parseCellBlock(const QString& text);

} // namespace model
