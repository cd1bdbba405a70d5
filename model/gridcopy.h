#pragma once

// Copying the grid's cells (Ctrl+C): the rectangle that holds the selected cells, in the
// order the rows are shown, as tab-separated text and as an HTML table, so that
// spreadsheets keep the cells apart. Whole values are copied, not what a cell shows of
// them. In the text, a value holding a tab, a line break or a quotation mark is put in
// quotation marks (those inside doubled). NULL copies as an empty cell, or as the word
// chosen under "Copy NULL as" (pages/editor/copynull.h keeps the choice); a text that is that word
// is quoted, so that a paste keeps it a text.

#include <QModelIndexList>
#include <QString>

class QMimeData;

namespace model {

class RecordsetModel;

struct CopiedCells {
    QString text;
    QString html;
    int rows = 0;
    int columns = 0;
};

CopiedCells copyCells(const RecordsetModel& model, const QModelIndexList& selected,
                      const QString& nullWord);

} // namespace model
