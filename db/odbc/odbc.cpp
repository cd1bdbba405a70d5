#include "db/odbc/odbc.h"

#include <QRegularExpression>

#include <limits>
#include <utility>
#include <vector>

namespace db::odbc {
namespace {

// A diagnostic record's text in the speaker's own words: without the bracketed names
// FreeTDS puts before everything it passes on ("[FreeTDS][SQL Server]", wrong for Adaptive
// Server), and without the line ends Adaptive Server puts after its own messages. The
// driver manager's own messages keep their "[unixODBC][Driver Manager]": they say who
// could not go on.
QString recordText(QString text) {
    static const QRegularExpression prefix(
        QStringLiteral("^(\\[[A-Za-z0-9 ._-]{1,40}\\])*\\[SQL Server\\]"));
    if (const QRegularExpressionMatch m = prefix.match(text); m.hasMatch())
        text.remove(0, m.capturedLength());
    qsizetype end = text.size();
    while (end > 0 && text[end - 1].isSpace())
        --end;
    text.truncate(end);
    return text;
}

} // namespace

Handle::Handle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
    const SQLRETURN rc = SQLAllocHandle(type, parent, &handle_);
    if (!SQL_SUCCEEDED(rc)) {
        handle_ = SQL_NULL_HANDLE;
        if (parent != SQL_NULL_HANDLE) {
            const SQLSMALLINT parentType = type == SQL_HANDLE_STMT  ? SQL_HANDLE_DBC
                                           : type == SQL_HANDLE_DBC ? SQL_HANDLE_ENV
                                                                    : SQL_HANDLE_ENV;
            throw diagnostics(parentType, parent, "SQLAllocHandle");
        }
        throw DbError(QStringLiteral("The ODBC driver manager could not allocate a handle."),
                      QStringLiteral("HY001"));
    }
}

Handle::Handle(Handle&& other) noexcept
    : type_(other.type_), handle_(std::exchange(other.handle_, SQLHANDLE(nullptr))) {}

Handle& Handle::operator=(Handle&& other) noexcept {
    if (this != &other) {
        free();
        type_ = other.type_;
        handle_ = std::exchange(other.handle_, SQLHANDLE(nullptr));
    }
    return *this;
}

void Handle::free() noexcept {
    if (handle_ != SQL_NULL_HANDLE) {
        SQLFreeHandle(type_, handle_);
        handle_ = SQL_NULL_HANDLE;
    }
}

DbError diagnostics(SQLSMALLINT type, SQLHANDLE handle, const char* call) {
    QString text;
    QString firstState;
    int firstNative = 0;
    for (SQLSMALLINT record = 1; handle != SQL_NULL_HANDLE; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        std::vector<SQLWCHAR> message(1024);
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(type, handle, record, state, &native, message.data(),
                                      SQLSMALLINT(message.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= SQLSMALLINT(message.size())) {
            message.resize(std::size_t(length) + 1);
            rc = SQLGetDiagRecW(type, handle, record, state, &native, message.data(),
                                SQLSMALLINT(message.size()), &length);
        }
        if (!SQL_SUCCEEDED(rc))
            break;
        const QString line = recordText(fromWide(message.data(), length));
        // The state of the first error, not of a warning that came before it.
        const QString recordState = fromWide(state, 5);
        if (record == 1 || (firstState.startsWith(QLatin1String("01")) &&
                            !recordState.startsWith(QLatin1String("01")))) {
            firstState = recordState;
            firstNative = int(native);
        }
        if (!line.isEmpty()) {
            if (!text.isEmpty())
                text += QLatin1Char('\n');
            text += line;
        }
    }
    if (text.isEmpty())
        text = QStringLiteral("%1 failed.").arg(QLatin1String(call));
    return DbError(text, firstState, firstNative);
}

SQLRETURN check(SQLRETURN rc, const Handle& handle, const char* call, SQLRETURN alsoAccept) {
    if (SQL_SUCCEEDED(rc) || (alsoAccept != SQL_SUCCESS && rc == alsoAccept))
        return rc;
    if (rc == SQL_INVALID_HANDLE)
        throw DbError(QStringLiteral("%1: invalid handle.").arg(QLatin1String(call)),
                      QStringLiteral("HY000"));
    throw diagnostics(handle.type(), handle.get(), call);
}

std::u16string toWide(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                          std::size_t(text.size()));
}

QString fromWide(const SQLWCHAR* text, SQLLEN lengthInChars) {
    static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "wide ODBC calls use UTF-16 here");
    if (!text || lengthInChars <= 0)
        return {};
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), qsizetype(lengthInChars));
}

Environment::Environment() : env_(SQL_HANDLE_ENV, SQL_NULL_HANDLE) {
    check(SQLSetEnvAttr(env_.get(), SQL_ATTR_ODBC_VERSION,
                        reinterpret_cast<SQLPOINTER>(static_cast<SQLLEN>(SQL_OV_ODBC3)), 0),
          env_, "SQLSetEnvAttr");
}

DriverConnection::DriverConnection(std::shared_ptr<Environment> env)
    : env_(std::move(env)), dbc_(SQL_HANDLE_DBC, env_->handle().get()) {}

DriverConnection::~DriverConnection() {
    disconnect();
}

void DriverConnection::connect(const QString& odbcConnectionString, int loginTimeoutSeconds) {
    if (loginTimeoutSeconds > 0)
        SQLSetConnectAttrW(dbc_.get(), SQL_ATTR_LOGIN_TIMEOUT,
                           reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(loginTimeoutSeconds)),
                           0);
    std::u16string wide = toWide(odbcConnectionString);
    // The length travels as a 16-bit count; a longer string would arrive cut short.
    if (wide.size() > std::size_t(std::numeric_limits<SQLSMALLINT>::max()))
        throw DbError(QStringLiteral("The connection string is too long for the driver."),
                      QStringLiteral("HY090"));
    // No completed connection string is asked for: it would only echo the password.
    check(SQLDriverConnectW(dbc_.get(), nullptr, reinterpret_cast<SQLWCHAR*>(wide.data()),
                            SQLSMALLINT(wide.size()), nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT),
          dbc_, "SQLDriverConnect");
    connected_ = true;
}

void DriverConnection::disconnect() noexcept {
    if (connected_) {
        // A driver refuses to disconnect inside an open transaction, and a handle that is
        // still connected cannot be freed: roll back what was not committed, then retry.
        if (!SQL_SUCCEEDED(SQLDisconnect(dbc_.get()))) {
            SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_ROLLBACK);
            SQLDisconnect(dbc_.get());
        }
        connected_ = false;
    }
}

bool DriverConnection::dead() const {
    SQLUINTEGER dead = SQL_CD_FALSE;
    return connected_ &&
           SQL_SUCCEEDED(
               SQLGetConnectAttr(dbc_.get(), SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
           dead == SQL_CD_TRUE;
}

void DriverConnection::setAutoCommit(bool on) {
    check(SQLSetConnectAttrW(dbc_.get(), SQL_ATTR_AUTOCOMMIT,
                             reinterpret_cast<SQLPOINTER>(
                                 static_cast<SQLULEN>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF)),
                             0),
          dbc_, "SQLSetConnectAttr(AUTOCOMMIT)");
}

void DriverConnection::commit() {
    check(SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_COMMIT), dbc_, "SQLEndTran(COMMIT)");
}

void DriverConnection::rollback() {
    check(SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_ROLLBACK), dbc_, "SQLEndTran(ROLLBACK)");
}

Statement::Statement(const DriverConnection& connection)
    : stmt_(SQL_HANDLE_STMT, connection.handle().get()) {}

Statement::~Statement() {
    closeCursor();
}

void Statement::setQueryTimeout(int seconds) {
    // Not every driver supports a query time-out; a refusal is not worth failing for.
    SQLSetStmtAttrW(stmt_.get(), SQL_ATTR_QUERY_TIMEOUT,
                    reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(seconds < 0 ? 0 : seconds)),
                    0);
}

SQLRETURN Statement::execDirect(const QString& sql) {
    std::u16string wide = toWide(sql);
    return check(SQLExecDirectW(stmt_.get(), reinterpret_cast<SQLWCHAR*>(wide.data()),
                                SQLINTEGER(wide.size())),
                 stmt_, "SQLExecDirect", SQL_NO_DATA);
}

SQLLEN Statement::rowCount() {
    SQLLEN count = 0;
    check(SQLRowCount(stmt_.get(), &count), stmt_, "SQLRowCount");
    return count;
}

void Statement::closeCursor() noexcept {
    if (stmt_)
        SQLFreeStmt(stmt_.get(), SQL_CLOSE);
}

} // namespace db::odbc
