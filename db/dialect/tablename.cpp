#include "db/dialect/tablename.h"

#include "db/dialect/tsql.h"

namespace db {

QString TableName::sql() const {
    return tsql::quoteTable(owner, name);
}

QString TableName::shown() const {
    return owner.isEmpty() ? name : owner + QLatin1Char('.') + name;
}

bool bareNameLeadsTo(const QString& owner, const QString& user, bool userHasOne) {
    if (!user.isEmpty() && owner.compare(user, Qt::CaseInsensitive) == 0)
        return true;
    return owner.compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0 && !userHasOne;
}

} // namespace db
