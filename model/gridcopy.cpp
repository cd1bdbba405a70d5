#include "model/gridcopy.h"

#include "model/recordsetmodel.h"

#include <algorithm>

namespace model {
namespace {

// A value that reads back as itself: quoted when it holds a tab, a line break or a quote,
// or when it is the text of the word NULL copies as (which, unquoted, pastes as NULL).
QString quotedForText(const QString& value, const QString& nullWord) {
    if (!value.contains(QLatin1Char('\t')) && !value.contains(QLatin1Char('\n')) &&
        !value.contains(QLatin1Char('\r')) && !value.contains(QLatin1Char('"')) &&
        (nullWord.isEmpty() || value != nullWord))
        return value;
    QString quoted = value;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString forHtml(const QString& value) {
    QString html = value.toHtmlEscaped();
    html.replace(QLatin1String("\r\n"), QLatin1String("<br>"));
    html.replace(QLatin1Char('\n'), QLatin1String("<br>"));
    return html;
}

} // namespace

CopiedCells copyCells(const RecordsetModel& model, const QModelIndexList& selected,
                      const QString& nullWord) {
    CopiedCells copied;
    if (selected.isEmpty())
        return copied;
    int top = selected.front().row(), bottom = top;
    int left = selected.front().column(), right = left;
    for (const QModelIndex& index : selected) {
        top = std::min(top, index.row());
        bottom = std::max(bottom, index.row());
        left = std::min(left, index.column());
        right = std::max(right, index.column());
    }
    copied.rows = bottom - top + 1;
    copied.columns = right - left + 1;
    copied.html = QStringLiteral("<table>");
    for (int row = top; row <= bottom; ++row) {
        copied.html += QLatin1String("<tr>");
        for (int column = left; column <= right; ++column) {
            const std::optional<QString> value = model.wholeText(row, column);
            if (column > left)
                copied.text += QLatin1Char('\t');
            copied.text += value ? quotedForText(*value, nullWord) : nullWord;
            copied.html +=
                QLatin1String("<td>") + forHtml(value ? *value : nullWord) + QLatin1String("</td>");
        }
        copied.text += QLatin1Char('\n');
        copied.html += QLatin1String("</tr>");
    }
    copied.html += QLatin1String("</table>");
    return copied;
}

} // namespace model
