#include "model/pastetext.h"

namespace model {
namespace {

bool endsCell(QChar c) {
    return c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r');
}

// A quoted cell starting at `at`: its text, and `at` moved past its closing quote. False
// (and nothing moved) when the text there is not one.
bool readQuoted(const QString& text, qsizetype& at, QString& cell) {
    const qsizetype n = text.size();
    if (at >= n || text[at] != QLatin1Char('"'))
        return false;
    QString value;
    for (qsizetype i = at + 1; i < n; ++i) {
        if (text[i] != QLatin1Char('"')) {
            value += text[i];
        } else if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
            value += QLatin1Char('"');
            ++i;
        } else if (i + 1 == n || endsCell(text[i + 1])) {
            cell = value;
            at = i + 1;
            return true;
        } else {
            return false; // text after the closing quote: not a quoted cell
        }
    }
    return false; // never closed
}

} // namespace

CellBlock parseCellBlock(const QString& text) {
    CellBlock rows;
    const qsizetype n = text.size();
    if (n == 0)
        return rows;
    std::vector<PastedCell> row;
    qsizetype i = 0;
    while (true) {
        PastedCell cell;
        cell.quoted = readQuoted(text, i, cell.text);
        if (!cell.quoted) {
            qsizetype end = i;
            while (end < n && !endsCell(text[end]))
                ++end;
            cell.text = text.mid(i, end - i);
            i = end;
        }
        row.push_back(std::move(cell));
        if (i >= n) {
            rows.push_back(std::move(row));
            break;
        }
        const QChar separator = text[i++];
        if (separator == QLatin1Char('\t'))
            continue;
        if (separator == QLatin1Char('\r') && i < n && text[i] == QLatin1Char('\n'))
            ++i;
        rows.push_back(std::move(row));
        row.clear();
        if (i >= n)
            break; // a last line break ends the block
    }
    return rows;
}

} // namespace model
