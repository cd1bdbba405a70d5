#include "db/read/recordset.h"

#include "db/write/boundquery.h"

#include "db/connect/connection.h"
#include "db/connect/connectionstate.h"
#include "db/connect/sessionfacts.h"
#include "db/odbc/dberror.h"
#include "db/read/recordsetstream.h"
#include "db/read/resultreader.h"

#include <algorithm>

namespace db {
namespace {
[[noreturn]] void throwClosed() {
    throw DbError(QString::fromLatin1(kObjectClosed), QStringLiteral("HY010"), 3704);
}
} // namespace

Field::Field(std::shared_ptr<const RecordsetData> data, int row, int column)
    : data_(std::move(data)), row_(row), column_(column) {}

QVariant Field::Value() const {
    if (row_ >= data_->rows.rowCount())
        throw DbError(QString::fromLatin1(kNoCurrentRecord), QStringLiteral("HY109"), 3021);
    if (data_->rows.isNull(row_, column_))
        return {};
    return data_->rows.text(row_, column_);
}

Recordset::Recordset() : state_(std::make_shared<State>()) {}

void Recordset::Open(const QString& source, const Connection& activeConnection, int cursorType,
                     int lockType) {
    if (state_->data)
        throw DbError(QString::fromLatin1(kObjectOpen), QStringLiteral("HY010"), 3705);
    const std::shared_ptr<ConnectionState> connection = activeConnection.state();
    connection->open();

    auto data = std::make_shared<RecordsetData>();
    data->source = source;
    data->cursorType = cursorType;
    data->lockType = lockType;
    data->connection = connection;

    std::shared_ptr<RecordsetStream> stream = RecordsetStream::start(*connection, source);
    // The read logs in before it runs the query: its columns may take both time-outs.
    stream->waitForFirstRows(connection->commandTimeout > 0
                                 ? connection->commandTimeout +
                                       std::max(connection->connectionTimeout, 0)
                                 : 0);
    data->rows.setColumns(stream->columns());
    data->stream = std::move(stream);
    data->appendArrived();
    openOver(std::move(data));
}

RecordsetData::~RecordsetData() {
    if (stream)
        stream->stop();
}

RecordsetData::Load RecordsetData::load() const {
    if (!stream)
        return Load::Complete;
    if (!settled) // rows may still wait to be appended
        return Load::Reading;
    switch (stream->state()) {
    case RecordsetStream::State::Reading:
        return Load::Reading;
    case RecordsetStream::State::Stopped:
        return Load::Stopped;
    case RecordsetStream::State::Failed:
        return Load::Failed;
    case RecordsetStream::State::Complete:
        break;
    }
    return Load::Complete;
}

QString RecordsetData::loadMessage() const {
    return stream ? stream->message() : QString();
}

int RecordsetData::appendArrived(bool wait) {
    if (!stream)
        return 0;
    // Blocks all come before the end is told: taken after it is seen, none is left behind.
    const bool ended = stream->state() != RecordsetStream::State::Reading;
    std::vector<RowBlock> blocks = stream->take(wait && !ended);
    int count = 0;
    for (const RowBlock& block : blocks)
        count += block.rowCount();
    if (count > 0) {
        const int first = rows.rowCount();
        if (rowsAboutToBeAppended)
            rowsAboutToBeAppended(first, first + count - 1);
        for (RowBlock& block : blocks)
            rows.appendBlock(std::move(block));
        if (rowsAppended)
            rowsAppended();
    }
    if (!settled && ended) {
        rows.squeeze();
        settled = true;
    }
    return count;
}

QString sourcePlace(const RecordsetData& data) {
    return data.connection && !data.connection->place.isEmpty()
               ? data.connection->place + QLatin1Char('/') + data.source
               : QString();
}

void RecordsetData::stopLoad() {
    if (stream && stream->state() == RecordsetStream::State::Reading) {
        stream->stop();
        appendArrived(); // nothing more comes; gives back the room kept for it
    }
}

void RecordsetData::setArrivalHandler(std::function<void()> handler) {
    if (stream)
        stream->setArrivalHandler(std::move(handler));
}

void Recordset::openOver(std::shared_ptr<RecordsetData> data) {
    state_->data = std::move(data);
    state_->position = 0;
}

bool Recordset::Eof() const {
    if (!state_->data)
        throwClosed();
    RecordsetData& data = *state_->data;
    while (state_->position >= data.rows.rowCount() && data.load() == RecordsetData::Load::Reading)
        data.appendArrived(true);
    return state_->position >= data.rows.rowCount();
}

void Recordset::MoveNext() {
    if (Eof())
        throw DbError(QString::fromLatin1(kNoCurrentRecord), QStringLiteral("HY109"), 3021);
    ++state_->position;
}

Field Recordset::Fields(const QString& name) const {
    if (!state_->data)
        throwClosed();
    const int column = state_->data->rows.columnIndex(name);
    if (column < 0)
        throw DbError(QStringLiteral("Item cannot be found in the collection corresponding to "
                                     "the requested name or ordinal."),
                      QStringLiteral("07009"), 3265);
    return Field(state_->data, state_->position, column);
}

std::shared_ptr<RecordsetData> Recordset::DataSource() const {
    return state_->data;
}

void Recordset::Close() {
    state_->data.reset();
    state_->position = 0;
}

bool Recordset::isOpen() const {
    return state_->data != nullptr;
}

} // namespace db
