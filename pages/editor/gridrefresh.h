#pragma once

// Reading the grid's table again (F5): an edit still open is committed, a read still
// under way stops, the source runs again over the same connection and the grid is bound
// to the new rows, sorted as before. The current cell goes back to its row and column
// when that row is still there, found by the table's key (by all its values when the
// table has none), also when it arrives only later in the read. A refused read leaves
// the rows shown as they were and says why.

#include <QObject>
#include <optional>
#include <string>
#include <vector>

namespace pages {

class DataGrid;

class GridRefresh : public QObject {
    Q_OBJECT
  public:
    explicit GridRefresh(DataGrid* grid);

    void refresh();
    // True while the current row is still being looked for among arriving rows.
    bool lookingForRow() const { return looking_; }
    // Stops looking for it (the grid is bound to other rows, the user moved on).
    void giveUp();

  private:
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
};

} // namespace pages
