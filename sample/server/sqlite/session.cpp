#include "session.h"

#include "like.h"

#include "convert.h"
#include "messages.h"

#include <thread>

namespace tds::sqlite {

namespace {

std::string databaseFile(const Shared& shared, const std::string& name) {
    return shared.options.folder + "/" + name + ".db";
}

void newTimestamp(sqlite3_context* ctx, int, sqlite3_value**) {
    auto* counter = static_cast<std::atomic<std::uint64_t>*>(sqlite3_user_data(ctx));
    const std::uint64_t v = ++*counter;
    unsigned char bytes[8];
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<unsigned char>(v >> (56 - 8 * i));
    sqlite3_result_blob(ctx, bytes, 8, SQLITE_TRANSIENT);
}

} // namespace

SqliteSession::SqliteSession(std::shared_ptr<Shared> shared, const std::string& database,
                             const std::string& login)
    : shared_(std::move(shared)), user_(login == "sa" ? "dbo" : login), saRole_(login == "sa"),
      spid_(shared_->nextSpid++), lockWaitSeconds_(shared_->options.lockWaitSeconds) {
    open(database.empty() ? shared_->options.defaultDatabase : database);
}

SqliteSession::~SqliteSession() {
    close();
}

bool SqliteSession::open(const std::string& name) {
    if (!databaseExists(shared_->options, name))
        return false;
    const bool master = name == "master";
    std::string file = databaseFile(*shared_, name);
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(file.c_str(), &raw, flags, nullptr);
    if (rc != SQLITE_OK && master) { // master without a file of its own is an empty database
        sqlite3_close_v2(raw);
        raw = nullptr;
        rc = sqlite3_open_v2(":memory:", &raw, flags, nullptr);
    }
    Connection db(raw);
    if (rc != SQLITE_OK)
        return false;
    sqlite3_busy_handler(raw, &SqliteSession::busyHandler, this);
    sqlite3_progress_handler(raw, 1000, &SqliteSession::progressHandler, this);
    sqlite3_update_hook(raw, &SqliteSession::updateHook, this);
    sqlite3_extended_result_codes(raw, 1);
    registerCanonicalFunction(raw);
    registerLikeFunction(raw);
    sqlite3_create_function(raw, "qv_timestamp", 0, SQLITE_UTF8, &shared_->timestamp, newTimestamp,
                            nullptr, nullptr);
    db_ = std::move(db);
    database_ = name;
    startStatement(nullptr);
    exec("PRAGMA foreign_keys = ON");
    exec("PRAGMA journal_mode = WAL"); // readers never wait for a writer
    return true;
}

bool SqliteSession::exec(const char* sql) {
    return db_ && sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

void SqliteSession::rollbackAll() {
    if (!sqlite3_get_autocommit(db_.get()))
        exec("ROLLBACK");
    trancount_ = 0;
    wrote_ = false;
    releaseTables();
}

void SqliteSession::close() {
    if (db_)
        rollbackAll();
    db_.reset();
}

void SqliteSession::startStatement(ResultSink* sink) {
    sink_ = sink;
    busy_ = Busy::None;
    started_ = std::chrono::steady_clock::now();
}

int SqliteSession::busyHandler(void* p, int) {
    auto* self = static_cast<SqliteSession*>(p);
    if (self->sink_ && self->sink_->cancelled()) {
        self->busy_ = Busy::Cancelled;
        return 0;
    }
    // Without a client waiting (opening a file) a lock is waited for a few seconds only.
    const int wait = self->sink_ ? self->lockWaitSeconds_ : 5;
    if (wait >= 0 &&
        std::chrono::steady_clock::now() - self->started_ >= std::chrono::seconds(wait)) {
        self->busy_ = Busy::TimedOut;
        return 0;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 1;
}

int SqliteSession::progressHandler(void* p) {
    auto* self = static_cast<SqliteSession*>(p);
    if (self->interruptible_ && self->sink_ && self->sink_->cancelled()) {
        self->busy_ = Busy::Cancelled;
        return 1;
    }
    return 0;
}

void SqliteSession::updateHook(void* p, int operation, const char*, const char* table,
                               sqlite3_int64 rowid) {
    auto* self = static_cast<SqliteSession*>(p);
    if (operation == SQLITE_INSERT && self->inserted_.size() < 10000)
        self->inserted_.emplace_back(table, rowid);
}

bool SqliteSession::beginChained(ResultSink& sink) {
    if (!chained_ || trancount_ > 0)
        return true;
    if (!exec("BEGIN")) {
        fail(msg::internal(sqlite3_errmsg(db_.get())), sink);
        return false;
    }
    trancount_ = 1;
    return true;
}

void SqliteSession::language(const std::string& batch, ResultSink& sink) {
    const ParsedBatch parsed = parseBatch(batch);
    if (parsed.syntaxErrorNear) {
        fail(msg::syntax(*parsed.syntaxErrorNear), sink);
        return;
    }
    for (const Statement& statement : parsed.statements) {
        startStatement(&sink);
        const Flow flow = run(statement, sink);
        startStatement(nullptr);
        if (flow != Flow::Next)
            return;
    }
}

SqliteSession::Flow SqliteSession::fail(const Message& message, ResultSink& sink, Flow flow) {
    Message m = message;
    sink.message(m);
    sink.done(false, std::nullopt, true);
    return flow;
}

SqliteSession::Flow SqliteSession::run(const Statement& st, ResultSink& sink) {
    if (!db_ && !std::holds_alternative<Use>(st.body) &&
        !std::holds_alternative<SetOption>(st.body))
        return fail(msg::noDatabase(database_), sink);
    const auto* s = std::get_if<Select>(&st.body);
    const bool data = (s && !s->table.empty()) || std::holds_alternative<Update>(st.body) ||
                      std::holds_alternative<Insert>(st.body) ||
                      std::holds_alternative<Delete>(st.body);
    if (data && !beginChained(sink))
        return Flow::StopBatch;
    if (s)
        return s->table.empty() ? runVariables(*s, sink) : runSelect(*s, sink);
    if (const auto* u = std::get_if<Update>(&st.body))
        return runUpdate(*u, sink);
    if (const auto* i = std::get_if<Insert>(&st.body))
        return runInsert(*i, sink);
    if (const auto* d = std::get_if<Delete>(&st.body))
        return runDelete(*d, sink);
    return runControl(st, sink);
}

SqliteSession::Flow SqliteSession::runControl(const Statement& st, ResultSink& sink) {
    if (std::holds_alternative<Begin>(st.body)) {
        if (trancount_ == 0 && !exec("BEGIN"))
            return fail(msg::internal(sqlite3_errmsg(db_.get())), sink);
        ++trancount_;
    } else if (std::holds_alternative<Commit>(st.body)) {
        if (trancount_ == 0)
            return fail(msg::commitWithoutBegin(), sink, Flow::Next);
        if (--trancount_ == 0) {
            if (!exec("COMMIT")) {
                const Message m = msg::internal(sqlite3_errmsg(db_.get()));
                rollbackAll();
                return fail(m, sink);
            }
            wrote_ = false;
            releaseTables();
        }
    } else if (std::holds_alternative<Rollback>(st.body)) {
        if (trancount_ == 0)
            return fail(msg::rollbackWithoutBegin(), sink, Flow::Next);
        rollbackAll();
    } else if (const auto* branch = std::get_if<If>(&st.body)) {
        std::int64_t v = 0;
        if (branch->variable == "@@trancount")
            v = trancount_;
        else if (branch->variable == "@@rowcount")
            v = rowcount_;
        const std::int64_t w = branch->value;
        const std::string& op = branch->op;
        const bool holds = op == "="                  ? v == w
                           : op == "<>" || op == "!=" ? v != w
                           : op == "<"                ? v < w
                           : op == ">"                ? v > w
                           : op == "<="               ? v <= w
                                                      : v >= w;
        if (holds)
            return run(*branch->then, sink); // the IF governs the next statement only
    } else if (const auto* use = std::get_if<Use>(&st.body)) {
        if (trancount_ > 0)
            return fail(msg::useInTransaction(), sink);
        const std::string old = database_;
        if (!databaseExists(shared_->options, use->database) || !open(use->database))
            return fail(msg::noDatabase(use->database), sink);
        sink.databaseChanged(database_, old); // the TDS side adds 5701 to its ENVCHANGE
    } else if (const auto* set = std::get_if<SetOption>(&st.body)) {
        const auto& w = set->words;
        if (w.size() >= 2 && w[0] == "lock" && w[1] == "nowait")
            lockWaitSeconds_ = 0;
        else if (w.size() >= 3 && w[0] == "lock" && w[1] == "wait")
            lockWaitSeconds_ = std::atoi(w[2].c_str());
        else if (w.size() == 2 && w[0] == "lock" && w[1] == "wait")
            lockWaitSeconds_ = shared_->options.lockWaitSeconds;
        else if (w.size() == 2 && w[0] == "chained" && (w[1] == "on" || w[1] == "off")) {
            if (trancount_ > 0)
                return fail(msg::chainedInTransaction(), sink, Flow::Next);
            chained_ = w[1] == "on";
        } else if (w.size() == 2 && w[0] == "textsize") {
            const std::int64_t size = std::atoll(w[1].c_str());
            textSize_ = size > 0 ? size : 32768; // 0 puts the default back
        }
        // every other option is accepted and changes nothing here
    } else if (const auto* grant = std::get_if<Permission>(&st.body)) {
        return runPermission(*grant, sink);
    } else if (const auto* call = std::get_if<Execute>(&st.body)) {
        if (!procedure(call->procedure, call->parameters, sink))
            return Flow::StopBatch;
        if (busy_ == Busy::Cancelled)
            return Flow::Cancelled;
    }
    sink.done(false, std::nullopt, false);
    return Flow::Next;
}

void SqliteSession::rpc(const std::string& name, const std::vector<RpcParameter>& parameters,
                        ResultSink& sink) {
    startStatement(&sink);
    procedure(name, parameters, sink);
    startStatement(nullptr);
}

} // namespace tds::sqlite
