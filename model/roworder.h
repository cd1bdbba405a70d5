#pragma once

// The order in which the grid shows a recordset's stored rows. Stored rows are
// numbered as the table read them and never move (the rows are only ever appended);
// the view shows some of them, in an order of its own. While the view shows the first
// stored rows in table order, nothing is kept per row; once rows are sorted or hidden,
// the order is one stored row number (4 bytes) per shown row.

#include <cstdint>
#include <functional>
#include <vector>

namespace model {

class RowOrder {
  public:
    // True when `a` goes before `b` (stored rows).
    using Less = std::function<bool(int a, int b)>;

    int count() const { return mapped_ ? int(order_.size()) : count_; }
    // The stored row shown at `view`; -1 outside the shown rows.
    int stored(int view) const {
        if (view < 0 || view >= count())
            return -1;
        return mapped_ ? order_[std::size_t(view)] : view;
    }
    // Where the stored row is shown; -1 when it is not. Looks through the order once it
    // is a mapping (the grid asks this for single rows, never per painted cell).
    int view(int stored) const;
    bool identity() const { return !mapped_; }

    // Back to the first `count` stored rows in table order.
    void reset(int count);
    // The stored rows, shown in this order from now on.
    void setOrder(std::vector<int> order);
    const std::vector<int>& order() const { return order_; }
    // Shows stored rows at the end.
    void append(int firstStored, int count);
    // Where a stored row goes so that the rows stay in `less` order, after the equal ones.
    int placeFor(int stored, const Less& less) const;
    // Whether the `i`th of rows being merged goes before a shown (stored) row.
    using Before = std::function<bool(std::size_t i, int stored)>;
    // Puts stored rows (in order among themselves) at their places among the shown rows:
    // each before the first shown row it goes before.
    void mergeSorted(const std::vector<int>& sortedRows, const Before& before);
    // Stops showing the last `count` rows.
    void removeLast(int count) {
        if (count > 0)
            remove(this->count() - count, this->count() - 1);
    }
    // Shows a stored row at view row `view`.
    void insert(int view, int stored);
    // Where these stored rows are shown, in one look through the order: view rows,
    // descending, without the rows that are not shown.
    std::vector<int> viewRowsOf(std::vector<int> storedRows) const;
    // Removes the view rows `first` .. `last` from the order.
    void remove(int first, int last);

  private:
    void materialize();

    bool mapped_ = false;
    int count_ = 0;          // identity: rows 0 .. count_-1
    std::vector<int> order_; // mapped: view row -> stored row
};

} // namespace model
