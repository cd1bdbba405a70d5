#pragma once

// The server's tokens of TDS 5.0, each appended to a message being written.

#include "sample/server/backend.h"
#include "sample/server/bytes.h"
#include "sample/server/charset.h"
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

void putDone(ByteWriter& out, DoneKind kind, std::uint16_t status, std::uint32_t count = 0);
void putEnvChange(ByteWriter& out, std::uint8_t type, std::string_view newValue,
                  std::string_view oldValue);
// An extended error (EED). The server name goes with every message, as ASE sends it.
void putMessage(ByteWriter& out, const Message& message, std::string_view serverName,
                Charset charset);
void putLoginAck(ByteWriter& out, bool accepted);
// LOGINACK with a status of its own: 7 asks the client to go on with a negotiation.
void putLoginAckStatus(ByteWriter& out, std::uint8_t status);
// The capability token: `request` and `response` are the 14-byte masks of the client.
void putCapability(ByteWriter& out, std::string_view request, std::string_view response);
void putReturnStatus(ByteWriter& out, std::int32_t status);
// ROWFMT2 (wide) when the client can take it, else ROWFMT.
void putRowFormat(ByteWriter& out, const std::vector<ColumnInfo>& columns, bool wide,
                  Charset charset);
// One row; `formats` are the columns' wire formats (wireFormat), in column order.
void putRow(ByteWriter& out, const std::vector<ColumnInfo>& columns,
            const std::vector<WireFormat>& formats, const std::vector<Value>& values,
            Charset charset);

} // namespace tds
