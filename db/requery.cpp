#include "db/connection.h"
#include "db/recordset.h"

namespace db {

std::shared_ptr<RecordsetData> requery(const RecordsetData& data) {
    Recordset recordset;
    recordset.Open(data.source, Connection(data.connection), data.cursorType, data.lockType);
    return recordset.DataSource();
}

} // namespace db
