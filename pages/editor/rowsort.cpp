#include "pages/editor/rowsort.h"

#include "db/resulttable.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace pages {
namespace {

int compareKeys(std::string_view a, std::string_view b) {
    const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    if (c != 0)
        return c;
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

} // namespace

RowOrder::Less sortedLess(const db::ResultTable& rows, const SortSpec& spec) {
    return [&rows, spec](int a, int b) {
        std::string left;
        std::string right;
        appendSortKey(spec.kind, rows, a, spec.column, left, std::string::npos);
        appendSortKey(spec.kind, rows, b, spec.column, right, std::string::npos);
        int c = compareKeys(left, right);
        if (spec.order == Qt::DescendingOrder)
            c = -c;
        return c != 0 ? c < 0 : a < b;
    };
}

SortJob::SortJob(const db::ResultTable& table, SortSpec spec, std::vector<int> rows)
    : spec_(spec), rows_(std::move(rows)) {
    std::sort(rows_.begin(), rows_.end()); // ties keep their table order
    starts_.reserve(rows_.size() + 1);
    cut_.reserve(rows_.size());
    for (int row : rows_) {
        starts_.push_back(keys_.size());
        cut_.push_back(!appendSortKey(spec_.kind, table, row, spec_.column, keys_));
    }
    starts_.push_back(keys_.size());
}

void SortJob::run() {
    const auto key = [this](std::size_t i) {
        return std::string_view(keys_).substr(starts_[i], starts_[i + 1] - starts_[i]);
    };
    std::vector<std::uint32_t> places(rows_.size());
    std::iota(places.begin(), places.end(), 0u);
    const bool descending = spec_.order == Qt::DescendingOrder;
    std::sort(places.begin(), places.end(), [&](std::uint32_t a, std::uint32_t b) {
        int c = compareKeys(key(a), key(b));
        if (descending)
            c = -c;
        return c != 0 ? c < 0 : a < b;
    });
    // Runs of equal keys that were cut: their whole values decide, later.
    for (std::size_t i = 0; i + 1 < places.size();) {
        std::size_t j = i;
        while (j + 1 < places.size() && cut_[places[j]] && cut_[places[j + 1]] &&
               key(places[j]) == key(places[j + 1]))
            ++j;
        if (j > i)
            ties_.emplace_back(int(i), int(j + 1));
        i = j + 1;
    }
    std::vector<int> sorted(places.size());
    for (std::size_t i = 0; i < places.size(); ++i)
        sorted[i] = rows_[places[i]];
    rows_ = std::move(sorted);
    std::string().swap(keys_);
    std::vector<std::size_t>().swap(starts_);
    std::vector<bool>().swap(cut_);
}

std::vector<int> SortJob::takeRows(const db::ResultTable& table) {
    const RowOrder::Less less = sortedLess(table, spec_);
    for (const auto& [first, end] : ties_)
        std::stable_sort(rows_.begin() + first, rows_.begin() + end, less);
    ties_.clear();
    return std::move(rows_);
}

} // namespace pages
