#pragma once

// The server's tokens of TDS 5.0, each appended to a message being written.

#include "sample/server/backend.h"
#include "sample/server/bytes.h"
#include "sample/server/charset.h"
#include "sample/server/recorded.h"
#include "sample/server/wirevalue.h"

namespace tds {

enum DoneStatus : std::uint16_t {
    kDoneFinal = 0x00,
    kDoneMore = 0x01,
    kDoneError = 0x02,
    kDoneInTransaction = 0x04,
    kDoneCount = 0x10,
    kDoneAttention = 0x20,
};

enum class DoneKind : std::uint8_t { Done = 0xFD, DoneProc = 0xFE, DoneInProc = 0xFF };

// Transaction state, the DONE token's second word: recorded servers send 2 (completed).
inline constexpr std::uint16_t kTransactionCompleted = 2;

void putDone(ByteWriter& out, DoneKind kind, std::uint16_t status, std::uint32_t count,
             std::uint16_t transactionState);
void putEnvChange(ByteWriter& out, std::uint8_t type, std::string_view newValue,
                  std::string_view oldValue);
// An extended error (EED). The server name goes with every message, as ASE sends it;
// `lineEnd`: the server's own texts end in "\n" (a raiserror's never does).
void putMessage(ByteWriter& out, const Message& message, std::string_view serverName,
                Charset charset, bool lineEnd);
void putLoginAck(ByteWriter& out, bool accepted);
// LOGINACK with a status of its own: 7 asks the client to go on with a negotiation.
void putLoginAckStatus(ByteWriter& out, std::uint8_t status);
// The capability token: `request` and `response` are the 14-byte masks of the client.
void putCapability(ByteWriter& out, std::string_view request, std::string_view response);
void putReturnStatus(ByteWriter& out, std::int32_t status);
// ROWFMT2 (wide) when the client can take it, else ROWFMT.
void putRowFormat(ByteWriter& out, const std::vector<ColumnInfo>& columns, bool wide,
                  Charset charset, const Recorded& recorded);
// CONTROL: one empty format per column, as servers send it after each row format.
void putControl(ByteWriter& out, std::size_t columnCount);
// ORDERBY: the places of the columns the rows are sorted by, in the ORDER BY's order
// (columns with a sortPlace). Nothing when none is.
void putOrderBy(ByteWriter& out, const std::vector<ColumnInfo>& columns);
// One row; `formats` are the columns' wire formats (wireFormat), in column order.
void putRow(ByteWriter& out, const std::vector<ColumnInfo>& columns,
            const std::vector<WireFormat>& formats, const std::vector<Value>& values,
            Charset charset);

} // namespace tds
