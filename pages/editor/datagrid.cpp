#include "pages/editor/datagrid.h"

#include "db/recordset.h"

namespace pages {

DataGrid::DataGrid(QWidget* parent) : QTableView(parent) {}
DataGrid::~DataGrid() = default;

void DataGrid::setDataSource(std::shared_ptr<db::RecordsetData> source) {
    source_ = std::move(source);
}
void DataGrid::SetFocus() { setFocus(); }
void DataGrid::commitPendingEdit() {}

} // namespace pages
