#pragma once

// Reading the grid's table again (F5): an edit still open is committed, a read still
// under way stops, the source runs again over the same connection and the grid is bound
// to the new rows, sorted as before. The source runs while the window goes on (another
// user's lock may hold it): until its first rows are in, the rows shown stay (and open no
// editor), and the load band says so with a Stop button that ends the refresh. The current cell
// goes back to its row and column when that row is still there, found by the table's key (by all
// its values when the table has none), also when it arrives only later in the read; once the user
// moves or starts an edit, it stays where the user put it. A refused read leaves the rows shown as
// they were and says why.

#include <QObject>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace db {
class PendingRequery;
struct Filter;
} // namespace db

namespace pages {

class DataGrid;

class GridRefresh : public QObject {
    Q_OBJECT
  public:
    explicit GridRefresh(DataGrid* grid);
    ~GridRefresh() override;

    void refresh();
    // The same with a filter the server evaluates (an empty one: every row), for the filter
    // bar: answers why the read could not start (empty when it did).
    QString refreshWith(const db::Filter& filter);
    // True while the table is being read again and its first rows have not been shown.
    bool waiting() const { return pending_ != nullptr; }
    // Ends a refresh still waiting for its rows (the rows shown stay), and the looking.
    void cancel();
    // True while the current row is still being looked for among arriving rows.
    bool lookingForRow() const { return looking_; }
    // Stops looking for it (the grid is bound to other rows, the user moved on).
    void giveUp();

  private:
    QString read(const db::Filter* filter);
    // The first rows are in: binds the grid to them.
    void bindFresh();
    void stopWaiting();
    // Looks for the row among the stored rows from `from` on; puts the current cell on it.
    void lookFrom(int from);

    DataGrid* grid_;
    bool looking_ = false;
    int column_ = 0;
    std::vector<int> keyColumns_;
    std::vector<std::optional<std::string>> keyValues_;
    int searched_ = 0; // stored rows looked through so far
    QMetaObject::Connection arrivals_;
    QMetaObject::Connection moved_;
    QMetaObject::Connection edited_;
    std::unique_ptr<db::PendingRequery> pending_;
    bool newFilter_ = false; // the read pending is the same table with another filter
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

} // namespace pages
