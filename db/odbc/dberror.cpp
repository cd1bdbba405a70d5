#include "db/odbc/dberror.h"

namespace db {

DbError::DbError(const QString& description, const QString& sqlState, int nativeCode)
    : std::runtime_error(description.toStdString()), description_(description), sqlState_(sqlState),
      nativeCode_(nativeCode) {}

} // namespace db
