#include "db/connect/connection.h"
#include "db/connect/connectionstate.h"
#include "db/odbc/dberror.h"
#include "db/read/recordset.h"
#include "db/read/recordsetstream.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>

namespace db {

std::shared_ptr<RecordsetData> requery(const RecordsetData& data) {
    Recordset recordset;
    recordset.Open(data.source + data.where, Connection(data.connection), data.cursorType,
                   data.lockType);
    std::shared_ptr<RecordsetData> rows = recordset.DataSource();
    rows->source = data.source;
    rows->filter = data.filter;
    rows->where = data.where;
    return rows;
}

struct PendingRequery::State {
    std::shared_ptr<RecordsetData> data; // the rows' source, cursor, lock and connection
    std::shared_ptr<RecordsetStream> stream;
    std::function<void()> whenReady;
    bool timedOut = false;
    bool told = false;
    std::unique_ptr<QTimer> deadline;

    // Runs `whenReady` on a later turn of the event loop, not inside the read's own
    // telling (whose handler the new rows' model replaces).
    static void tell(const std::weak_ptr<State>& weak) {
        const std::shared_ptr<State> state = weak.lock();
        if (!state || state->told ||
            !(state->timedOut || (state->stream && state->stream->firstRowsIn())))
            return;
        state->told = true;
        if (state->deadline)
            state->deadline->stop();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [weak] {
                const std::shared_ptr<State> later = weak.lock();
                // A copy: the call may end the pending read, and its handler with it.
                const std::function<void()> call = later ? later->whenReady : nullptr;
                if (call)
                    call();
            },
            Qt::QueuedConnection);
    }
};

PendingRequery::PendingRequery(const RecordsetData& data, std::function<void()> whenReady)
    : state_(std::make_shared<State>()) {
    start(data, data.filter, data.where, std::move(whenReady));
}

PendingRequery::PendingRequery(const RecordsetData& data, const Filter& filter,
                               const TableKeys* keys, std::function<void()> whenReady)
    : state_(std::make_shared<State>()) {
    QString where;
    const FilterCheck check = filterWhere(filter, data, keys, where);
    if (!check.accepted())
        throw DbError(check.refusal);
    start(data, filter, where, std::move(whenReady));
}

void PendingRequery::start(const RecordsetData& data, const Filter& filter, const QString& where,
                           std::function<void()> whenReady) {
    const std::shared_ptr<ConnectionState> connection = data.connection;
    connection->open();
    state_->data = std::make_shared<RecordsetData>();
    state_->data->source = data.source;
    state_->data->filter = filter;
    state_->data->where = where;
    state_->data->cursorType = data.cursorType;
    state_->data->lockType = data.lockType;
    state_->data->connection = connection;
    state_->whenReady = std::move(whenReady);
    state_->stream = RecordsetStream::start(*connection, data.source + where);
    std::weak_ptr<State> weak = state_;
    state_->stream->setArrivalHandler([weak] { State::tell(weak); });
    // As Open: the read logs in before it runs the query, so its columns may take both
    // time-outs; once they have come, a server that falls silent is ended by the read's own
    // query time-out.
    if (connection->commandTimeout > 0) {
        const int seconds = connection->commandTimeout + std::max(connection->connectionTimeout, 0);
        state_->deadline = std::make_unique<QTimer>();
        state_->deadline->setSingleShot(true);
        QObject::connect(state_->deadline.get(), &QTimer::timeout, [weak] {
            const std::shared_ptr<State> state = weak.lock();
            if (!state || state->stream->described())
                return;
            state->timedOut = true;
            state->stream->stop();
            State::tell(weak);
        });
        state_->deadline->start(std::chrono::seconds(seconds));
    }
}

PendingRequery::~PendingRequery() {
    stop();
}

bool PendingRequery::ready() const {
    return state_->told;
}

std::shared_ptr<RecordsetData> PendingRequery::take() {
    State& state = *state_;
    if (state.timedOut || !state.stream)
        throw DbError(QStringLiteral("Query timeout expired"), QStringLiteral("HYT00"), 0);
    state.stream->throwIfFailed();
    std::shared_ptr<RecordsetData> data = std::move(state.data);
    data->rows.setColumns(state.stream->columns());
    data->stream = std::move(state.stream);
    data->appendArrived();
    return data;
}

void PendingRequery::stop() {
    state_->deadline.reset();
    state_->whenReady = nullptr;
    if (state_->stream) {
        state_->stream->setArrivalHandler(nullptr);
        state_->stream->stop();
    }
}

} // namespace db
