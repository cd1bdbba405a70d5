#include "db/rowwriter.h"

#include "db/connectionstate.h"
#include "db/recordset.h"

#include <algorithm>

namespace db {
namespace {

// Auto-commit off for the lifetime of the guard; rolled back unless committed.
class Transaction {
  public:
    explicit Transaction(odbc::DriverConnection& connection) : connection_(connection) {
        connection_.setAutoCommit(false);
    }
    ~Transaction() {
        if (!done_) {
            try {
                connection_.rollback();
            } catch (const DbError&) {
            }
        }
        try {
            connection_.setAutoCommit(true);
        } catch (const DbError&) {
        }
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit() {
        connection_.commit();
        done_ = true;
    }

  private:
    odbc::DriverConnection& connection_;
    bool done_ = false;
};

bool contains(const std::vector<int>& columns, int column) {
    return std::find(columns.begin(), columns.end(), column) != columns.end();
}

QString notSaved(const QString& why) {
    return QStringLiteral("The change was not saved: ") + why;
}

} // namespace

RowWriter::RowWriter(std::shared_ptr<RecordsetData> data) : data_(std::move(data)) {
    if (!data_) {
        reason_ = QStringLiteral("Read-only: no rows are bound.");
        return;
    }
    const std::vector<ColumnInfo>& columns = data_->rows.columns();
    const std::optional<QString> table = tableNameFromSource(data_->source);
    keys_ = keysFromColumns(table.value_or(QString()), columns);
    if (data_->lockType == adLockReadOnly) {
        reason_ = QStringLiteral("Read-only: the rows were opened for reading only.");
    } else if (!table) {
        reason_ = QStringLiteral("Read-only: the rows do not come from one table.");
    } else if (!data_->connection || !data_->connection->driver) {
        reason_ = QStringLiteral("Read-only: the rows' connection is closed.");
    } else {
        try {
            keys_ = discoverTableKeys(*data_->connection->driver, *table, columns,
                                      data_->connection->commandTimeout);
            reason_ = unlocatableReason(keys_);
        } catch (const DbError& error) {
            reason_ = QStringLiteral("Read-only: the table's keys could not be read: ") +
                      error.description();
        }
    }
}

RowWriter::RowWriter(std::shared_ptr<RecordsetData> data, TableKeys keys)
    : data_(std::move(data)), keys_(std::move(keys)), reason_(unlocatableReason(keys_)) {}

QString RowWriter::columnReadOnlyReason(int column) const {
    if (column < 0 || column >= int(keys_.roles.size()))
        return {};
    switch (keys_.roles[std::size_t(column)]) {
    case ColumnRole::Identity:
        return QStringLiteral("Read-only: an identity column, numbered by the server.");
    case ColumnRole::Computed:
        return QStringLiteral("Read-only: the server computes this column.");
    case ColumnRole::RowVersion:
        return QStringLiteral("Read-only: a timestamp column, set by the server on every change.");
    case ColumnRole::Plain:
        break;
    }
    if (data_->rows.columns()[std::size_t(column)].binary)
        return QStringLiteral("Read-only: binary values are shown in hexadecimal, not edited.");
    return {};
}

bool RowWriter::canWrite(int column) const {
    return reason_.isEmpty() && column >= 0 && column < int(keys_.roles.size()) &&
           columnReadOnlyReason(column).isEmpty();
}

CellValue RowWriter::stored(int row, int column) const {
    const ResultTable& rows = data_->rows;
    if (rows.isNull(row, column))
        return std::nullopt;
    return std::string(rows.bytes(row, column));
}

void RowWriter::appendCondition(BoundQuery& query, bool& first, int column,
                                const CellValue& value) const {
    const ColumnInfo& info = data_->rows.columns()[std::size_t(column)];
    query.sql += first ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ");
    first = false;
    query.sql += bracketed(info.name);
    if (!value) {
        query.sql += QStringLiteral(" IS NULL"); // "= ?" never matches a NULL
        return;
    }
    query.sql += QStringLiteral(" = ");
    query.appendParameter(info, *value);
}

BoundQuery RowWriter::updateStatement(int row, int column, const CellValue& value) const {
    const ColumnInfo& info = data_->rows.columns()[std::size_t(column)];
    BoundQuery update;
    update.sql = QStringLiteral("UPDATE ") + bracketed(keys_.table) + QStringLiteral(" SET ") +
                 bracketed(info.name) + QStringLiteral(" = ");
    if (value)
        update.appendParameter(info, *value);
    else
        update.sql += QStringLiteral("NULL");
    const RowLocator locator = locateRow(keys_, data_->rows, row);
    bool first = true;
    for (int c : locator.columns)
        appendCondition(update, first, c, stored(row, c));
    // The edited column as it was read, and the row's version: a change made by someone
    // else since the read matches no row.
    if (!contains(locator.columns, column) && keys_.equality[std::size_t(column)])
        appendCondition(update, first, column, stored(row, column));
    if (keys_.rowVersion >= 0 && !contains(locator.columns, keys_.rowVersion))
        appendCondition(update, first, keys_.rowVersion, stored(row, keys_.rowVersion));
    return update;
}

bool RowWriter::reread(int row, int column, const CellValue& value) {
    const RowLocator locator = locateRow(keys_, data_->rows, row);
    BoundQuery query;
    query.sql = QStringLiteral("SELECT * FROM ") + bracketed(keys_.table);
    bool first = true;
    for (int c : locator.columns) {
        // What the server sets itself may differ now; it does not find the row.
        const ColumnRole role = keys_.roles[std::size_t(c)];
        if (role == ColumnRole::RowVersion || role == ColumnRole::Computed)
            continue;
        appendCondition(query, first, c, c == column ? value : stored(row, c));
    }
    if (first)
        return false;
    try {
        const std::vector<RowValues> found = query.select(
            data_->connection->open(), data_->rows.columns(), data_->connection->commandTimeout, 2);
        if (found.size() != 1)
            return false;
        data_->rows.replaceRow(row, found.front());
        return true;
    } catch (const DbError&) {
        return false;
    }
}

CellWriteResult RowWriter::write(int row, int column, const CellValue& value) {
    if (!canWrite(column))
        return {WriteStatus::ReadOnly, reason_.isEmpty() ? columnReadOnlyReason(column) : reason_};
    const CellValue original = stored(row, column);
    if (original == value)
        return {};
    if (locateRow(keys_, data_->rows, row).kind == LocatorKind::None)
        return {WriteStatus::ReadOnly,
                notSaved(QStringLiteral("nothing in this row tells it apart from others "
                                        "(its key holds NULL)."))};
    const BoundQuery update = updateStatement(row, column, value);
    SQLLEN changed = 0;
    try {
        odbc::DriverConnection& connection = data_->connection->open();
        Transaction transaction(connection);
        changed = update.execute(connection, data_->connection->commandTimeout);
        if (changed == 1)
            transaction.commit();
    } catch (const DbError& error) {
        reread(row, column, original);
        return {WriteStatus::Rejected,
                QStringLiteral("The change was not saved. The server answered:\n\n") +
                    error.description()};
    }
    if (changed == 0) {
        if (reread(row, column, original))
            return {WriteStatus::RowChanged,
                    notSaved(QStringLiteral("someone else has changed this row since it was "
                                            "read. The grid now shows the row as the table "
                                            "holds it."))};
        return {WriteStatus::RowVanished,
                notSaved(QStringLiteral("the row can no longer be found as it was read; it "
                                        "has been deleted or changed by someone else since."))};
    }
    if (changed > 1)
        return {WriteStatus::Ambiguous,
                notSaved(QStringLiteral("the table holds other rows exactly like this one, "
                                        "and without a key they cannot be told apart. "
                                        "Nothing was changed."))};
    if (!reread(row, column, value)) {
        // The row no longer answers its locator (a trigger changed it, or it now has
        // twins): keep the written value.
        RowValues values;
        for (int c = 0; c < data_->rows.columnCount(); ++c)
            values.push_back(c == column ? value : stored(row, c));
        data_->rows.replaceRow(row, values);
    }
    return {};
}

} // namespace db
