#include "db/read/tablelist.h"

namespace db {

void AddTablesToSybaseASEListbox(ListTarget& list, const std::function<QString()>& connectionString,
                                 const std::function<void()>& processEvents, Handler& handler) {
    listUserTables<Connection>(list, connectionString, processEvents, handler);
}

} // namespace db
