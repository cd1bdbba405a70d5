#pragma once

// Sorting the rows the grid shows by one column. The keys are gathered from the stored
// rows on the thread that owns them; the sort itself needs only those keys, so it may
// run on a worker thread while rows arrive and the window paints. The sort is stable:
// rows with equal values keep their table order, in either direction.

#include "db/values/sortkeys.h"
#include "model/roworder.h"

#include <Qt>
#include <memory>
#include <string>
#include <vector>

namespace db {
class ResultTable;
}

namespace model {

struct SortRule {
    int column = -1; // -1: table order
    Qt::SortOrder order = Qt::AscendingOrder;
    db::SortKind kind = db::SortKind::Text;
};

// Whether stored row `a` goes before `b` by the rule (whole values; equal ones by their
// table order).
RowOrder::Less sortedLess(const db::ResultTable& rows, const SortRule& rule);

// Puts new rows (not shown yet) at their places among the shown rows, which are sorted by
// the rule: each after the rows equal to it that are stored before it.
void mergeRows(RowOrder& order, const db::ResultTable& rows, const SortRule& rule,
               std::vector<int> newRows);
// Whether merging that many new rows among that many shown ones is quick enough to do
// between two events of the window (else sort them all again, off its thread).
bool quickMerge(std::size_t newRows, int shownRows);
// The same for the last `arrived` rows shown, which are not in their places yet.
void mergeArrived(RowOrder& order, const db::ResultTable& rows, const SortRule& rule, int arrived);

class SortJob {
  public:
    // A sort of the stored rows `rows`.
    SortJob(const db::ResultTable& table, SortRule rule, std::vector<int> rows);
    // Gathers the keys of the next `count` rows, on the thread that owns the table (in
    // slices, so the window goes on meanwhile); true once every key is there.
    bool gather(const db::ResultTable& table, int count);
    const SortRule& rule() const { return rule_; }
    // Sorts (any thread); the keys go once sorted.
    void run();
    // The rows, sorted: equal cut keys are put in order by their whole values here, so
    // call it on the thread that owns the table.
    std::vector<int> takeRows(const db::ResultTable& table);

  private:
    SortRule rule_;
    std::vector<int> rows_;
    std::string keys_;                      // every row's key, one after another
    std::vector<std::size_t> starts_;       // where each row's key starts (and the end)
    std::vector<bool> cut_;                 // the key stops short of the value
    std::vector<std::pair<int, int>> ties_; // runs of equal cut keys, after the sort
};

} // namespace model
