// The model's row order: which stored rows it shows, in which order, and its sorts.

#include "model/recordsetmodel.h"

#include "db/read/recordset.h"
#include "db/write/rowwriter.h"
#include "model/rowsort.h"

#include <algorithm>

namespace model {

void RecordsetModel::appendShown(int first, int last) {
    appending_ = last - first + 1;
    beginInsertRows({}, order_.count(), order_.count() + appending_ - 1);
}

void RecordsetModel::appendedShown() {
    const int count = appending_;
    appending_ = 0;
    order_.append(data_->rows.rowCount() - count, count);
    endInsertRows();
    countTwins(data_->rows.rowCount() - count, data_->rows.rowCount() - 1);
    twinMarksChanged();
    // Sorted rows take the new ones in at their places, after the equal ones. While a sort
    // runs they wait at the end for it; many at once are sorted again with all the others,
    // off this thread.
    if (shown_.column < 0 || job_)
        return;
    if (!quickMerge(std::size_t(count), order_.count() - count))
        sort(shown_.column, shown_.order);
    else
        reorder([&] { mergeArrived(order_, data_->rows, shown_, count); });
}

RowOrder::Less RecordsetModel::shownLess() const {
    if (!data_ || shown_.column < 0)
        return {};
    return sortedLess(data_->rows, shown_);
}

void RecordsetModel::reorder(const std::function<void()>& change) {
    emit layoutAboutToBeChanged({}, VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> stored;
    stored.reserve(std::size_t(before.size()));
    for (const QModelIndex& index : before)
        stored.push_back(storedRow(index.row()));
    change();
    // One look through the new order finds every row that was remembered.
    std::vector<int> wanted(stored);
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    std::vector<int> placed(wanted.size(), -1);
    if (!wanted.empty())
        for (int v = 0; v < order_.count(); ++v) {
            const auto at = std::lower_bound(wanted.begin(), wanted.end(), order_.stored(v));
            if (at != wanted.end() && *at == order_.stored(v))
                placed[std::size_t(at - wanted.begin())] = v;
        }
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        if (stored[std::size_t(i)] < 0) { // a line that is no stored row stays where it is
            after.push_back(before[i]);
            continue;
        }
        const auto at = std::lower_bound(wanted.begin(), wanted.end(), stored[std::size_t(i)]);
        const int v = at == wanted.end() ? -1 : placed[std::size_t(at - wanted.begin())];
        after.push_back(v < 0 ? QModelIndex() : index(v, before[i].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, VerticalSortHint);
}

void RecordsetModel::hideStoredRows(std::vector<int> storedRows) {
    for (int stored : storedRows)
        twinMarksMoved_ = uncountTwins(stored) || twinMarksMoved_;
    const std::vector<int> views = order_.viewRowsOf(std::move(storedRows));
    // Each run of neighbouring rows leaves in one step, the last run first.
    for (std::size_t i = 0; i < views.size();) {
        std::size_t j = i;
        while (j + 1 < views.size() && views[j + 1] == views[j] - 1)
            ++j;
        beginRemoveRows({}, views[j], views[i]);
        order_.remove(views[j], views[i]);
        endRemoveRows();
        i = j + 1;
    }
    twinMarksChanged();
}

void RecordsetModel::showAppendedRows(const std::vector<int>& storedRows) {
    std::vector<int> shown;
    for (int storedRow : storedRows) {
        if (!data_ || storedRow < 0 || storedRow >= data_->rows.rowCount() ||
            order_.view(storedRow) >= 0)
            continue;
        const RowOrder::Less less = shownLess();
        const int place = less ? order_.placeFor(storedRow, less) : order_.count();
        beginInsertRows({}, place, place);
        order_.insert(place, storedRow);
        endInsertRows();
        countTwins(storedRow);
        shown.push_back(storedRow);
    }
    twinMarksChanged();
    recheckFilter(shown);
}

void RecordsetModel::sort(int column, Qt::SortOrder order) {
    if (!data_ || column >= columnCount())
        return;
    wanted_ = {column, order};
    if (!job_)
        startSort();
}

void RecordsetModel::startSort() {
    const auto [column, order] = *wanted_;
    wanted_.reset();
    SortRule rule;
    rule.column = column;
    rule.order = order;
    if (column < 0) { // back to table order
        reorder([&] {
            std::vector<int> rows = order_.order();
            std::sort(rows.begin(), rows.end());
            if (order_.identity())
                return;
            order_.setOrder(std::move(rows));
        });
        shown_ = rule;
        emit sortFinished();
        return;
    }
    const db::ColumnInfo& info = data_->rows.columns()[std::size_t(column)];
    const std::vector<QString>* names = writer_ ? &writer_->keys().typeNames : nullptr;
    rule.kind = db::sortKindOf(info, names && std::size_t(column) < names->size()
                                         ? (*names)[std::size_t(column)]
                                         : QString());
    std::vector<int> rows(std::size_t(order_.count()));
    for (int v = 0; v < order_.count(); ++v)
        rows[std::size_t(v)] = order_.stored(v);
    job_ = std::make_shared<SortJob>(data_->rows, rule, std::move(rows));
    emit sortStarted();
    gatherKeys(job_);
}

void RecordsetModel::gatherKeys(const std::shared_ptr<SortJob>& job) {
    if (job != job_)
        return;
    if (!job->gather(data_->rows, kKeysPerTurn)) {
        QMetaObject::invokeMethod(
            this, [this, job] { gatherKeys(job); }, Qt::QueuedConnection);
        return;
    }
    if (sortThread_.joinable())
        sortThread_.join();
    // The worker touches only the job; its end is handed back to this thread. The model
    // waits for it before it goes, so `this` outlives the call.
    sortThread_ = std::thread([this, job] {
        job->run();
        QMetaObject::invokeMethod(
            this, [this, job] { finishSort(job); }, Qt::QueuedConnection);
    });
}

void RecordsetModel::finishSort(const std::shared_ptr<SortJob>& job) {
    if (job != job_)
        return;
    job_.reset();
    std::vector<int> sorted = job->takeRows(data_->rows);
    // Rows may have come or gone while the sort ran.
    std::vector<char> shown(std::size_t(data_->rows.rowCount()), 0);
    for (int v = 0; v < order_.count(); ++v)
        shown[std::size_t(order_.stored(v))] = 1;
    std::erase_if(sorted, [&](int row) { return !shown[std::size_t(row)]; });
    for (int row : sorted)
        shown[std::size_t(row)] = 2; // sorted already
    std::vector<int> later;
    for (int v = 0; v < order_.count(); ++v)
        if (shown[std::size_t(order_.stored(v))] == 1)
            later.push_back(order_.stored(v));
    shown_ = job->rule();
    // Many rows that came meanwhile: shown at the end while all are sorted once more.
    const bool again = !quickMerge(later.size(), int(sorted.size()));
    reorder([&] {
        if (again)
            sorted.insert(sorted.end(), later.begin(), later.end());
        order_.setOrder(std::move(sorted));
        if (!again)
            mergeRows(order_, data_->rows, shown_, std::move(later));
    });
    if (again && !wanted_)
        wanted_ = {shown_.column, shown_.order};
    emit sortFinished();
    if (wanted_)
        startSort();
}

} // namespace model
