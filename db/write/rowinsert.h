#pragma once

// Adds one row to a recordset's table. Only the columns given a value are named in the
// INSERT: the server fills identity, timestamp and computed columns (never sent) and the
// defaults of the rest. Every value is checked against its column before anything is
// sent. In one transaction the row is inserted and read back (by @@identity when the
// table has an identity column, else by its primary key or a unique key whose values
// were given, else by every value given), then committed only when the row read back
// holds every value given; otherwise it is rolled back and the typed values stay with
// the caller. When the read-back finds more than one row holding those values (a
// key-less table with a twin of the new row), the insert has landed all the same; the
// new row then shows as read when the rows found are all alike (as twins it cannot be
// edited), and is not shown at all when they differ.

#include "db/write/rowwriter.h"

#include <vector>

namespace db {

// Per column: a value given (a NULL among them), or nothing (left to the server).
using NewRowValues = std::vector<std::optional<CellValue>>;

// Why rows cannot be added when the login lacks insert permission on the table.
inline const QString kNoInsertReason =
    QStringLiteral("Rows cannot be added: this login has no insert permission on this table.");

class RowInserter : public WriteJob {
  public:
    explicit RowInserter(RowWriter& writer) : writer_(writer) {}

    // Why a new row takes no value in this column (the server fills it, or its values
    // cannot be typed); empty when it does.
    QString columnReason(int column) const;
    // True when the server fills this column of a new row (identity, timestamp, computed).
    bool filledByServer(int column) const;
    // True when a new row must be given a value here: NOT NULL, no default the table
    // is known to give, and not filled by the server.
    bool needsValue(int column) const;

    // Checks the values, on the thread that owns the rows; `pending` then tells whether
    // the server must be asked (nothing given: nothing to add).
    CellWriteResult begin(const NewRowValues& values);
    // Several rows in one transaction, all or nothing (rows pasted on the new-row line):
    // each checked and written as one is, and named by `rowNames` in a message.
    CellWriteResult beginRows(const std::vector<NewRowValues>& rows,
                              const std::vector<QString>& rowNames);
    bool pending() const override { return pending_; }
    // Talks to the server (any thread). Written: `appended` holds the row as read back,
    // unless it could not be told apart (then `message` says so).
    CellWriteResult finish() override;
    // Appends the rows read back to the stored rows (`appendedRows`).
    void apply(CellWriteResult& result) override { writer_.apply(result); }
    CellWriteResult insert(const NewRowValues& values);

    // The INSERT for the values begun.
    BoundQuery insertStatement() const;

  private:
    // The rows that may be the new one: by @@identity, a key given, or the values given.
    std::vector<RowValues> readBack(WriteTransaction& transaction, bool& byValues);
    bool holdsGiven(const RowValues& row, int& differs) const;
    // " WHERE ..." by every value given that the server compares exactly; false for none.
    bool appendGiven(BoundQuery& query) const;
    // How many rows hold the values given, read as held; nothing when a key given finds
    // the new row.
    std::optional<long long> countGiven(WriteTransaction& transaction) const;
    // Inserts `values_` and reads it back, inside the transaction; `added` is the row
    // read back when it can be told apart, `note` what the user should know.
    CellWriteResult insertOne(WriteTransaction& transaction, std::optional<RowValues>& added,
                              QString& note);
    QString notAddedIn(const QString& rowName, const QString& why) const;

    RowWriter& writer_;
    NewRowValues values_;
    std::vector<NewRowValues> rows_;
    std::vector<QString> rowNames_;
    bool pending_ = false;
};

} // namespace db
