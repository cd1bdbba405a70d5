#include "pages/editor/gridrefresh.h"

#include "app/mainmodule.h"
#include "app/platform.h"
#include "db/odbc/dberror.h"
#include "db/read/filter.h"
#include "db/read/recordset.h"
#include "db/write/tablekeys.h"
#include "model/recordsetmodel.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/loadband.h"

#include <QItemSelectionModel>

namespace pages {

GridRefresh::GridRefresh(DataGrid* grid) : QObject(grid), grid_(grid) {}

GridRefresh::~GridRefresh() = default;

void GridRefresh::refresh() {
    if (const QString refusal = read(nullptr); !refusal.isEmpty())
        app::platform().messageBox(grid_->window(), refusal, app::kStyleExclamation,
                                   app::ApplicationTitle());
}

QString GridRefresh::refreshWith(const db::Filter& filter) {
    return read(&filter);
}

QString GridRefresh::read(const db::Filter* filter) {
    const std::shared_ptr<db::RecordsetData> old = grid_->DataSource();
    auto* model = qobject_cast<model::RecordsetModel*>(grid_->model());
    if (!old || !model || pending_)
        return {};
    giveUp();
    // 1. An open edit goes to the table first; a read under way stops.
    grid_->commitPendingEdit();
    grid_->stopLoading();
    // 2. What finds the current row again.
    const QModelIndex current = grid_->currentIndex();
    const int stored = current.isValid() ? model->storedRow(current.row()) : -1;
    keyColumns_.clear();
    keyValues_.clear();
    if (stored >= 0) {
        column_ = current.column();
        const db::TableKeys* keys = model->tableKeys();
        const db::RowLocator locator =
            keys ? db::locateRow(*keys, old->rows, stored) : db::RowLocator{};
        if (locator.kind == db::LocatorKind::PrimaryKey ||
            locator.kind == db::LocatorKind::UniqueKey)
            keyColumns_ = locator.columns;
        else
            for (int c = 0; c < old->rows.columnCount(); ++c)
                keyColumns_.push_back(c);
        for (int c : keyColumns_)
            keyValues_.push_back(old->rows.isNull(stored, c)
                                     ? std::nullopt
                                     : std::optional<std::string>(old->rows.bytes(stored, c)));
    }
    sortColumn_ = model->sortColumn();
    sortOrder_ = model->sortOrder();
    // 3. The source again, over the same connection, while the window goes on; the band
    // says so, with Stop.
    newFilter_ = filter != nullptr;
    try {
        pending_ = filter ? std::make_unique<db::PendingRequery>(*old, *filter, model->tableKeys(),
                                                                 [this] { bindFresh(); })
                          : std::make_unique<db::PendingRequery>(*old, [this] { bindFresh(); });
    } catch (const db::DbError& error) {
        return error.description();
    }
    grid_->loadBand()->showWaiting([this] { stopWaiting(); });
    return {};
}

void GridRefresh::bindFresh() {
    if (!pending_)
        return;
    // (No editor can be open: the grid opens none while it waits, see DataGrid::edit.)
    const std::unique_ptr<db::PendingRequery> pending = std::move(pending_);
    grid_->loadBand()->showWaiting({});
    std::shared_ptr<db::RecordsetData> fresh;
    try {
        fresh = pending->take();
    } catch (const db::DbError& error) {
        app::platform().messageBox(grid_->window(), error.description(), app::kStyleExclamation,
                                   app::ApplicationTitle());
        return;
    }
    // 4. The grid on the new rows, sorted as before.
    grid_->setDataSource(fresh, newFilter_);
    if (sortColumn_ >= 0)
        grid_->sortBy(sortColumn_, sortOrder_);
    // 5. The current cell back on its row, now or once it arrives.
    if (keyColumns_.empty())
        return;
    looking_ = true;
    searched_ = 0;
    auto* fresher = qobject_cast<model::RecordsetModel*>(grid_->model());
    arrivals_ = connect(fresher, &model::RecordsetModel::loadChanged, this,
                        [this] { lookFrom(searched_); });
    // The user moving to another cell, or starting an edit, ends the looking.
    moved_ = connect(grid_->selectionModel(), &QItemSelectionModel::currentChanged, this,
                     [this] { giveUp(); });
    edited_ = connect(grid_, &DataGrid::editorOpened, this, [this] { giveUp(); });
    lookFrom(0);
}

void GridRefresh::stopWaiting() {
    cancel();
    grid_->showNoticeText(
        QStringLiteral("The table was not read again (stopped): the rows shown are as before."));
}

void GridRefresh::cancel() {
    giveUp();
    if (pending_) {
        pending_.reset();
        grid_->loadBand()->showWaiting({});
    }
}

void GridRefresh::lookFrom(int from) {
    auto* model = qobject_cast<model::RecordsetModel*>(grid_->model());
    if (!looking_ || !model || !model->source())
        return giveUp();
    const db::ResultTable& rows = model->source()->rows;
    for (int row = from; row < rows.rowCount(); ++row) {
        bool same = true;
        for (std::size_t k = 0; k < keyColumns_.size() && same; ++k) {
            const int c = keyColumns_[k];
            same = rows.isNull(row, c) ? !keyValues_[k]
                                       : keyValues_[k] && *keyValues_[k] == rows.bytes(row, c);
        }
        if (!same || model->viewRow(row) < 0)
            continue;
        if (grid_->isEditing())
            return giveUp(); // the user works where the editor is
        const QModelIndex index = model->index(model->viewRow(row), column_);
        giveUp();
        grid_->setCurrentIndex(index);
        grid_->scrollTo(index);
        return;
    }
    searched_ = rows.rowCount();
    if (model->load() != db::RecordsetData::Load::Reading)
        giveUp(); // the row is gone: the current cell stays where the new rows put it
}

void GridRefresh::giveUp() {
    looking_ = false;
    disconnect(arrivals_);
    disconnect(moved_);
    disconnect(edited_);
}

} // namespace pages
