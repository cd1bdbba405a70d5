#pragma once

// The line after the grid's rows where a new row is typed. It holds the values typed so
// far, column by column (a column not typed is left to the server); nothing is written
// until the line is committed (gridedits.h). Columns the server fills (identity,
// timestamp) cannot be typed and say so; columns that need a value say that instead.

#include "db/write/rowinsert.h"

#include <QVariant>

namespace model {

class NewRowLine {
  public:
    // What the vertical header shows for the line.
    static const QString Mark;

    explicit NewRowLine(const db::RowInserter& inserter, int columns)
        : inserter_(inserter), values_(std::size_t(columns)) {}

    QVariant data(int column, int role) const;
    QVariant headerData(int role) const;
    Qt::ItemFlags flags(int column) const;
    // An invalid QVariant types NULL.
    void setValue(int column, const QVariant& value);

    const db::NewRowValues& values() const { return values_; }
    bool typed() const;
    void clear() { values_.assign(values_.size(), std::nullopt); }

  private:
    const db::RowInserter& inserter_;
    db::NewRowValues values_;
};

} // namespace model
