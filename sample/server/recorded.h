#pragma once

// Where Adaptive Servers were recorded sending more than, or other than, what the plain
// TDS 5.0 protocol asks for (the server's README names each recording). The server sends
// all of it by default; a test turns one off to meet the plainer stream again.

namespace tds {

struct Recorded {
    bool controlTokens = true;          // a CONTROL token after every row format
    bool orderByTokens = true;          // an ORDERBY token after a sorted select's format
    bool narrowProcedureFormats = true; // procedure results as ROWFMT, also to wide clients
    bool baseUserTypes = true;          // a nullable column keeps its base type's user type
    bool nullableExpressions = true;    // expressions: status 0x30, nullable N types
    bool messageLineEnds = true;        // server messages (not raiserror's) end in "\n"
    bool loginMessageOrder = true;      // the login's messages come 5704, 5701, 5703
    bool doneTransactionState = true;   // DONE tokens carry transaction state 2
};

} // namespace tds
