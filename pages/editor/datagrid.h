#pragma once

// The editor's grid: a table view over the rows of a recordset, writing each committed
// edit back to the table.

#include <QTableView>
#include <memory>

namespace db {
struct RecordsetData;
}

namespace pages {

class DataGrid : public QTableView {
    Q_OBJECT
public:
    explicit DataGrid(QWidget* parent = nullptr);
    ~DataGrid() override;

    // Binds the grid to a recordset's rows; null unbinds (and lets the rows go).
    void setDataSource(std::shared_ptr<db::RecordsetData> source);
    std::shared_ptr<db::RecordsetData> DataSource() const { return source_; }
    void SetFocus();
    // Commits an edit still open in a cell (before the page is left or closed).
    void commitPendingEdit();

private:
    std::shared_ptr<db::RecordsetData> source_;
};

} // namespace pages
