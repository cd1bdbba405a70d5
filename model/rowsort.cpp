#include "model/rowsort.h"

#include "db/read/resulttable.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

namespace model {
namespace {

int compareKeys(std::string_view a, std::string_view b) {
    const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    if (c != 0)
        return c;
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

} // namespace

RowOrder::Less sortedLess(const db::ResultTable& rows, const SortRule& rule) {
    return [&rows, rule](int a, int b) {
        std::string left;
        std::string right;
        db::appendSortKey(rule.kind, rows, a, rule.column, left, std::string::npos);
        db::appendSortKey(rule.kind, rows, b, rule.column, right, std::string::npos);
        int c = compareKeys(left, right);
        if (rule.order == Qt::DescendingOrder)
            c = -c;
        return c != 0 ? c < 0 : a < b;
    };
}

void mergeRows(RowOrder& order, const db::ResultTable& rows, const SortRule& rule,
               std::vector<int> newRows) {
    if (newRows.empty())
        return;
    const int sign = rule.order == Qt::DescendingOrder ? -1 : 1;
    // The new rows' keys once each, one after another, and the new rows in order.
    std::sort(newRows.begin(), newRows.end());
    std::string keys;
    std::vector<std::size_t> starts;
    starts.reserve(newRows.size() + 1);
    for (int row : newRows) {
        starts.push_back(keys.size());
        db::appendSortKey(rule.kind, rows, row, rule.column, keys, std::string::npos);
    }
    starts.push_back(keys.size());
    const auto newKey = [&](std::size_t i) {
        return std::string_view(keys).substr(starts[i], starts[i + 1] - starts[i]);
    };
    std::vector<std::size_t> places(newRows.size());
    std::iota(places.begin(), places.end(), std::size_t(0));
    std::stable_sort(places.begin(), places.end(), [&](std::size_t a, std::size_t b) {
        return sign * compareKeys(newKey(a), newKey(b)) < 0;
    });
    std::vector<int> sorted;
    sorted.reserve(places.size());
    for (std::size_t p : places)
        sorted.push_back(newRows[p]);
    std::string shownKey;
    // Whether the i-th sorted new row goes before a shown row, whose key is made here.
    const auto before = [&](std::size_t i, int shownRow) {
        shownKey.clear();
        db::appendSortKey(rule.kind, rows, shownRow, rule.column, shownKey, std::string::npos);
        const int c = sign * compareKeys(newKey(places[i]), shownKey);
        return c != 0 ? c < 0 : sorted[i] < shownRow;
    };
    const double n = double(order.count());
    if (double(sorted.size()) * std::log2(n + 2) < n) {
        // Few rows among many: each finds its place by halving.
        order.mergeSorted(sorted, before);
        return;
    }
    // Many: one pass along both, each shown row's key made once.
    std::size_t next = 0;
    std::vector<int> merged;
    merged.reserve(std::size_t(order.count()) + sorted.size());
    for (int v = 0; v < order.count(); ++v) {
        const int stored = order.stored(v);
        shownKey.clear();
        db::appendSortKey(rule.kind, rows, stored, rule.column, shownKey, std::string::npos);
        while (next < sorted.size()) {
            const int c = sign * compareKeys(newKey(places[next]), shownKey);
            if (c > 0 || (c == 0 && sorted[next] > stored))
                break;
            merged.push_back(sorted[next++]);
        }
        merged.push_back(stored);
    }
    merged.insert(merged.end(), sorted.begin() + std::ptrdiff_t(next), sorted.end());
    order.setOrder(std::move(merged));
}

bool quickMerge(std::size_t newRows, int shownRows) {
    constexpr double kKeysMade = 100000; // about 30 ms of keys
    return double(newRows) * std::log2(double(shownRows) + 2) <= kKeysMade;
}

void mergeArrived(RowOrder& order, const db::ResultTable& rows, const SortRule& rule, int arrived) {
    if (arrived <= 0)
        return;
    std::vector<int> tail;
    for (int v = order.count() - arrived; v < order.count(); ++v)
        tail.push_back(order.stored(v));
    order.removeLast(arrived);
    mergeRows(order, rows, rule, std::move(tail));
}

SortJob::SortJob(const db::ResultTable&, SortRule rule, std::vector<int> rows)
    : rule_(rule), rows_(std::move(rows)) {
    std::sort(rows_.begin(), rows_.end()); // ties keep their table order
    starts_.reserve(rows_.size() + 1);
    cut_.reserve(rows_.size());
}

bool SortJob::gather(const db::ResultTable& table, int count) {
    const std::size_t end = std::min(rows_.size(), starts_.size() + std::size_t(count));
    for (std::size_t i = starts_.size(); i < end; ++i) {
        starts_.push_back(keys_.size());
        cut_.push_back(!db::appendSortKey(rule_.kind, table, rows_[i], rule_.column, keys_));
    }
    if (starts_.size() < rows_.size())
        return false;
    starts_.push_back(keys_.size());
    return true;
}

void SortJob::run() {
    const auto key = [this](std::size_t i) {
        return std::string_view(keys_).substr(starts_[i], starts_[i + 1] - starts_[i]);
    };
    std::vector<std::uint32_t> places(rows_.size());
    std::iota(places.begin(), places.end(), 0u);
    const bool descending = rule_.order == Qt::DescendingOrder;
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
    const RowOrder::Less less = sortedLess(table, rule_);
    for (const auto& [first, end] : ties_)
        std::stable_sort(rows_.begin() + first, rows_.begin() + end, less);
    ties_.clear();
    return std::move(rows_);
}

} // namespace model
