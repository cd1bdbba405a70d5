#include "pages/editor/pastetext.h"

namespace pages {

CellBlock parseCellBlock(const QString& text) {
    CellBlock rows;
    std::vector<QString> row;
    QString cell;
    bool quoted = false;  // inside a quoted cell
    bool started = false; // the current row has begun
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        started = true;
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                cell += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                cell += c;
            }
        } else if (c == QLatin1Char('"') && cell.isEmpty()) {
            quoted = true;
        } else if (c == QLatin1Char('\t')) {
            row.push_back(cell);
            cell.clear();
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (c == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))
                ++i;
            row.push_back(cell);
            cell.clear();
            rows.push_back(std::move(row));
            row.clear();
            started = false;
        } else {
            cell += c;
        }
    }
    if (started) {
        row.push_back(cell);
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace pages
