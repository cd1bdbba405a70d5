// The grid under a filter: the bar's Apply and "Clear Filter", the context menu's "Filter by
// This Value", "Filter Excluding This Value" and "Clear Filter", and the filter remembered
// for the table. Each read with a filter is a refresh (gridrefresh.h) with the filter: the
// current cell, the sort and the band go on as they do on F5.

#include "pages/editor/datagrid.h"

#include "db/read/filter.h"
#include "db/read/recordset.h"
#include "db/write/rowwriter.h"
#include "model/recordsetmodel.h"
#include "pages/editor/filterbar.h"
#include "pages/editor/gridrefresh.h"
#include "pages/editor/rememberedfilter.h"

#include <QAction>

namespace pages {

const QString DataGrid::OfferedFilterText =
    QStringLiteral("The filter last used on this table: Apply to read the rows it matches.");

void DataGrid::addFilterActions() {
    auto* before = new QAction(this);
    before->setSeparator(true);
    addAction(before);
    QAction* open = addGridAction(QStringLiteral("Filter..."), QStringLiteral("FilterAction"),
                                  {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)});
    connect(open, &QAction::triggered, filter_, &FilterBar::open);
    QAction* byValue = addGridAction(QStringLiteral("Filter by This Value"),
                                     QStringLiteral("FilterByValueAction"), {});
    connect(byValue, &QAction::triggered, this, [this] { filterByCurrentValue(false); });
    QAction* excluding = addGridAction(QStringLiteral("Filter Excluding This Value"),
                                       QStringLiteral("FilterExcludingValueAction"), {});
    connect(excluding, &QAction::triggered, this, [this] { filterByCurrentValue(true); });
    QAction* clear =
        addGridAction(QStringLiteral("Clear Filter"), QStringLiteral("ClearFilterAction"), {});
    connect(clear, &QAction::triggered, this, &DataGrid::clearFilter);
}

QStringList DataGrid::columnNames() const {
    QStringList names;
    if (source_)
        for (const db::ColumnInfo& column : source_->rows.columns())
            names << column.name;
    return names;
}

void DataGrid::applyFilter() {
    applyFilter(filter_->filter());
}

void DataGrid::applyFilter(const db::Filter& filter) {
    if (!model_)
        return;
    // 1. The conditions checked against their columns (the keys learned for the columns'
    // declared types): a refused one is shown in the bar, and the rows shown stay.
    const db::TableKeys& keys = model_->rowWriter().keys(); // learnt now if not yet
    const db::FilterCheck check = db::checkFilter(filter, *source_, &keys);
    if (!check.accepted()) {
        if (filter_->isHidden())
            filter_->open();
        filter_->say(check.refusal, check.condition);
        return;
    }
    // 2. The table read again with them (an open edit is written first; a read again still
    // waiting gives way); remembered.
    filter_->say(QString());
    refresh_->cancel();
    if (const QString refusal = refresh_->refreshWith(filter); !refusal.isEmpty()) {
        filter_->say(refusal);
        return;
    }
    rememberFilter(filterPlace_, filter, columnNames());
}

void DataGrid::clearFilter() {
    filter_->setFilter({});
    applyFilter(db::Filter{});
}

void DataGrid::filterByCurrentValue(bool excluding) {
    const QModelIndex current = currentIndex();
    if (!model_ || !current.isValid() || model_->storedRow(current.row()) < 0)
        return;
    // 1. The cell's value as the grid edits it; NULL as a NULL test.
    const std::optional<QString> value = model_->wholeText(current.row(), current.column());
    db::FilterCondition condition;
    condition.column = current.column();
    condition.op = value ? (excluding ? db::FilterOp::NotEqual : db::FilterOp::Equal)
                         : (excluding ? db::FilterOp::IsNotNull : db::FilterOp::IsNull);
    condition.value = value.value_or(QString());
    // 2. Beside the conditions the rows were read with, in the bar, applied.
    db::Filter filter = source_->filter;
    filter.conditions.push_back(condition);
    filter_->setFilter(filter);
    applyFilter(filter);
}

void DataGrid::offerRememberedFilter() {
    const QString place = source_ ? db::sourcePlace(*source_) : QString();
    const QStringList names = columnNames();
    filter_->setColumns(names);
    if (place == filterPlace_)
        return; // the same table read again
    // Another table: the bar starts again, closed.
    filterPlace_ = place;
    filter_->setFilter(source_ ? source_->filter : db::Filter{});
    filter_->say(QString());
    filter_->hide();
    if (!source_ || !source_->filter.empty())
        return;
    // Offered, never applied: the bar shows it, the focus stays where it is.
    const db::Filter remembered = rememberedFilter(place, names);
    if (remembered.empty())
        return;
    filter_->setFilter(remembered);
    filter_->say(OfferedFilterText);
    filter_->show();
}

} // namespace pages
