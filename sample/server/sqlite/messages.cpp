#include "messages.h"

namespace tds::sqlite::msg {

namespace {

Message make(int number, int severity, const char* sqlstate, std::string text) {
    Message m;
    m.number = number;
    m.severity = severity;
    m.sqlstate = sqlstate;
    m.text = std::move(text);
    return m;
}

std::string quoted(const std::string& s) {
    return "'" + s + "'";
}

} // namespace

Message syntax(const std::string& near) {
    return make(102, 15, "42000", "Incorrect syntax near " + quoted(near) + ".");
}

Message invalidColumn(const std::string& column) {
    return make(207, 16, "42000", "Invalid column name " + quoted(column) + ".");
}

Message notFound(const std::string& object) {
    return make(208, 16, "42000",
                object + " not found. Specify owner.objectname or use sp_help to check whether "
                         "the object exists (sp_help may produce lots of output).");
}

Message insertMismatch() {
    return make(213, 16, "ZZZZZ",
                "Insert error: column name or number of supplied values does not match table "
                "definition.");
}

Message nullNotAllowed(const std::string& column, const std::string& table) {
    return make(233, 16, "23000",
                "The column " + column + " in table " + table + " does not allow null values.");
}

Message scaleError(const std::string& value) {
    return make(241, 16, "ZZZZZ",
                "Scale error during implicit conversion of NUMERIC value " + quoted(value) +
                    " to a NUMERIC field.");
}

Message overflow(const std::string& from, const std::string& value, const std::string& to) {
    return make(247, 16, "ZZZZZ",
                "Arithmetic overflow during implicit conversion of " + from + " value " +
                    quoted(value) + " to a " + to + " field .");
}

Message conversionSyntax(const std::string& value, const std::string& to) {
    return make(249, 16, "ZZZZZ",
                "Syntax error during implicit conversion of VARCHAR value " + quoted(value) +
                    " to a " + to + " field.");
}

Message notAllowed(const std::string& from, const std::string& to) {
    return make(257, 16, "ZZZZZ",
                "Implicit conversion from datatype " + quoted(from) + " to " + quoted(to) +
                    " is not allowed.  Use the CONVERT function to run this query.");
}

Message timestampUpdate() {
    return make(272, 16, "ZZZZZ", "Cannot update a timestamp column.");
}

Message notComparable() {
    return make(306, 16, "ZZZZZ",
                "TEXT, IMAGE and UNITEXT datatypes may not be used in the WHERE or HAVING clause, "
                "except with the LIKE or IS NULL predicates.");
}

Message identityInsert(const std::string& table) {
    return make(584, 16, "ZZZZZ",
                "Explicit value specified for identity field in table " + quoted(table) +
                    " when 'SET IDENTITY_INSERT' is OFF.");
}

Message foreignKey(const std::string& db, const std::string& table) {
    return make(546, 16, "23000",
                "Foreign key constraint violation occurred, dbname =  " + quoted(db) +
                    ", table name = " + quoted(table) + ", constraint name = ''.");
}

Message dependentKey(const std::string& db, const std::string& table) {
    return make(547, 16, "23000",
                "Dependent foreign key constraint violation in a referential integrity "
                "constraint. dbname =  " +
                    quoted(db) + ", table name = " + quoted(table) + ", constraint name = ''.");
}

Message checkViolation(const std::string& db, const std::string& table) {
    return make(548, 16, "23000",
                "Check constraint violation occurred, dbname = " + quoted(db) +
                    ", table name = " + quoted(table) + ", constraint name = ''.");
}

Message useInTransaction() {
    return make(226, 16, "ZZZZZ", "USE command not allowed within multi-statement transaction.");
}

Message chainedInTransaction() {
    return make(226, 16, "ZZZZZ",
                "SET CHAINED command not allowed within multi-statement transaction.");
}

Message unchainedOnly(const std::string& procedure) {
    return make(7713, 16, "ZZZZZ",
                "Stored procedure " + quoted(procedure) +
                    " may be run only in unchained transaction mode. The 'SET CHAINED OFF' "
                    "command will cause the current session to use unchained transaction mode.");
}

Message catalogInTransaction(const std::string& procedure) {
    Message m = make(20001, 16, "ZZZZZ",
                     "Catalog procedure " + procedure + " can not be run in a transaction.");
    m.procedure = procedure;
    return m;
}

Message noDatabase(const std::string& name) {
    return make(911, 11, "ZZZZZ",
                "Attempt to locate entry in sysdatabases for database " + quoted(name) +
                    " by name failed - no entry found under that name. Make sure that name is "
                    "entered properly.");
}

Message deadlock(int spid) {
    return make(1205, 13, "40001",
                "Your server command (family id #0, process id #" + std::to_string(spid) +
                    ") encountered a deadlock situation. Please re-run your command.");
}

Message noProcedure(const std::string& name) {
    return make(2812, 16, "ZZZZZ",
                "Stored procedure " + quoted(name) +
                    " not found. Specify owner.objectname or use sp_help to check whether the "
                    "object exists (sp_help may produce lots of output).");
}

Message duplicateKey(const std::string& table, const std::string& index) {
    return make(2601, 14, "23000",
                "Attempt to insert duplicate key row in object " + quoted(table) +
                    " with unique index " + quoted(index));
}

Message commitWithoutBegin() {
    return make(3902, 16, "ZZZZZ",
                "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.");
}

Message rollbackWithoutBegin() {
    return make(3903, 16, "ZZZZZ",
                "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.");
}

Message lockTimeout(int seconds, int spid) {
    return make(12205, 17, "ZZZZZ",
                "Could not acquire a lock within the specified wait period. SERVER level wait "
                "period=" +
                    std::to_string(seconds) + " seconds, spid=" + std::to_string(spid) +
                    ", lock type=exclusive row, dbid=4, objid=0, pageno=0, rowno=0. Aborting "
                    "the transaction.");
}

Message raised(const std::string& text) {
    Message m = make(20000, 16, "ZZZZZ", text);
    m.raised = true;
    return m;
}

Message internal(const std::string& text) {
    return make(20001, 16, "ZZZZZ", text);
}

Message permissionDenied(const std::string& action, const std::string& object,
                         const std::string& database, const std::string& owner) {
    return make(229, 14, "42000",
                action + " permission denied on object " + object + ", database " + database +
                    ", owner " + owner);
}

Message columnPermissionDenied(const std::string& action, const std::string& column,
                               const std::string& object, const std::string& database,
                               const std::string& owner) {
    return make(230, 14, "42000",
                action + " permission denied on column " + column + " of object " + object +
                    ", database " + database + ", owner " + owner);
}

} // namespace tds::sqlite::msg
