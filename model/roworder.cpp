#include "model/roworder.h"

#include <algorithm>
#include <numeric>

namespace model {

int RowOrder::view(int stored) const {
    if (stored < 0)
        return -1;
    if (!mapped_)
        return stored < count_ ? stored : -1;
    const auto found = std::find(order_.begin(), order_.end(), stored);
    return found == order_.end() ? -1 : int(found - order_.begin());
}

void RowOrder::reset(int count) {
    mapped_ = false;
    count_ = count;
    std::vector<int>().swap(order_);
}

void RowOrder::setOrder(std::vector<int> order) {
    mapped_ = true;
    order_ = std::move(order);
    count_ = 0;
}

void RowOrder::materialize() {
    if (mapped_)
        return;
    order_.resize(std::size_t(count_));
    std::iota(order_.begin(), order_.end(), 0);
    mapped_ = true;
    count_ = 0;
}

void RowOrder::append(int firstStored, int count) {
    if (count <= 0)
        return;
    if (!mapped_ && firstStored == count_) {
        count_ += count;
        return;
    }
    materialize();
    for (int r = firstStored; r < firstStored + count; ++r)
        order_.push_back(r);
}

int RowOrder::placeFor(int stored, const Less& less) const {
    int low = 0;
    int high = count();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (less(stored, this->stored(middle)))
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

void RowOrder::mergeSorted(const std::vector<int>& sortedRows, const Before& before) {
    if (sortedRows.empty())
        return;
    materialize();
    std::vector<int> merged;
    merged.reserve(order_.size() + sortedRows.size());
    auto shown = order_.begin();
    for (std::size_t i = 0; i < sortedRows.size(); ++i) {
        const auto place = std::upper_bound(shown, order_.end(), i, before);
        merged.insert(merged.end(), shown, place);
        merged.push_back(sortedRows[i]);
        shown = place;
    }
    merged.insert(merged.end(), shown, order_.end());
    order_ = std::move(merged);
}

void RowOrder::insert(int view, int stored) {
    if (!mapped_ && view == count_ && stored == count_) {
        ++count_;
        return;
    }
    materialize();
    order_.insert(order_.begin() + std::clamp(view, 0, int(order_.size())), stored);
}

std::vector<int> RowOrder::viewRowsOf(std::vector<int> storedRows) const {
    std::sort(storedRows.begin(), storedRows.end());
    storedRows.erase(std::unique(storedRows.begin(), storedRows.end()), storedRows.end());
    std::vector<int> views;
    if (!mapped_) {
        for (int s : storedRows)
            if (s >= 0 && s < count_)
                views.push_back(s);
    } else {
        for (std::size_t v = 0; v < order_.size(); ++v)
            if (std::binary_search(storedRows.begin(), storedRows.end(), order_[v]))
                views.push_back(int(v));
    }
    std::sort(views.begin(), views.end(), std::greater<>());
    return views;
}

void RowOrder::remove(int first, int last) {
    if (first > last)
        return;
    // Rows hidden from the end of a table shown in its own order need no mapping.
    if (!mapped_ && last == count_ - 1) {
        count_ = first;
        return;
    }
    materialize();
    order_.erase(order_.begin() + first, order_.begin() + last + 1);
}

} // namespace model
