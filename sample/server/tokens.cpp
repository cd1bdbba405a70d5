#include "sample/server/tokens.h"

#include "sample/server/wirevalue.h"

#include <algorithm>

namespace tds {
namespace {

constexpr std::uint8_t kEnvChange = 0xE3, kEed = 0xE5, kLoginAck = 0xAD, kCapability = 0xE2,
                       kReturnStatus = 0x79, kRowFormat = 0xEE, kRowFormat2 = 0x61, kRow = 0xD1,
                       kControl = 0xAE, kOrderBy = 0xA9;

// A token whose body is preceded by its 16-bit length.
void putToken16(ByteWriter& out, std::uint8_t id, const std::string& body) {
    out.u8(id);
    out.u16(std::uint16_t(body.size()));
    out.bytes(body);
}

void putColumnType(ByteWriter& w, const WireFormat& f) {
    w.u32(f.userType);
    w.u8(f.type);
    w.bytes(f.info);
    w.u8(0); // no locale
}

} // namespace

void putDone(ByteWriter& out, DoneKind kind, std::uint16_t status, std::uint32_t count,
             std::uint16_t transactionState) {
    out.u8(std::uint8_t(kind));
    out.u16(status);
    out.u16(transactionState);
    out.u32(count);
}

void putEnvChange(ByteWriter& out, std::uint8_t type, std::string_view newValue,
                  std::string_view oldValue) {
    ByteWriter body;
    body.u8(type);
    body.text8(newValue);
    body.text8(oldValue);
    putToken16(out, kEnvChange, body.data());
}

void putMessage(ByteWriter& out, const Message& m, std::string_view serverName, Charset charset,
                bool lineEnd) {
    ByteWriter body;
    body.u32(std::uint32_t(m.number));
    body.u8(std::uint8_t(m.state));
    body.u8(std::uint8_t(m.severity));
    body.text8(m.sqlstate);
    body.u8(0);  // no extended data follows
    body.u16(0); // transaction state
    std::string text = toClient(m.text, charset);
    const bool ends = lineEnd && !m.raised;
    if (text.size() > (ends ? 1023 : 1024))
        text.resize(ends ? 1023 : 1024);
    if (ends)
        text += '\n';
    body.u16(std::uint16_t(text.size()));
    body.bytes(text);
    body.text8(serverName);
    body.text8(toClient(m.procedure, charset));
    body.u16(std::uint16_t(m.line));
    putToken16(out, kEed, body.data());
}

void putLoginAck(ByteWriter& out, bool accepted) {
    putLoginAckStatus(out, accepted ? 5 : 6);
}

void putLoginAckStatus(ByteWriter& out, std::uint8_t status) {
    ByteWriter body;
    body.u8(status);
    body.bytes(std::string_view("\x05\x00\x00\x00", 4)); // TDS 5.0
    body.text8("Adaptive Server Enterprise");
    body.bytes(std::string_view("\x10\x00\x00\x00", 4)); // version 16.0
    putToken16(out, kLoginAck, body.data());
}

void putCapability(ByteWriter& out, std::string_view request, std::string_view response) {
    ByteWriter body;
    body.u8(1);
    body.text8(request);
    body.u8(2);
    body.text8(response);
    putToken16(out, kCapability, body.data());
}

void putReturnStatus(ByteWriter& out, std::int32_t status) {
    out.u8(kReturnStatus);
    out.u32(std::uint32_t(status));
}

void putRowFormat(ByteWriter& out, const std::vector<ColumnInfo>& columns, bool wide,
                  Charset charset, const Recorded& recorded) {
    ByteWriter body;
    body.u16(std::uint16_t(columns.size()));
    for (const ColumnInfo& c : columns) {
        const WireFormat f = wireFormat(c, recorded);
        const std::string name = toClient(c.name, charset);
        if (wide) {
            body.text8(name);                       // label
            body.text8("");                         // catalog
            body.text8("");                         // owner
            body.text8(toClient(c.table, charset)); // table
            body.text8(name);                       // column
            body.u32(f.status);
        } else {
            body.text8(name);
            body.u8(f.status);
        }
        putColumnType(body, f);
    }
    if (wide) {
        out.u8(kRowFormat2);
        out.u32(std::uint32_t(body.size()));
        out.bytes(body.data());
    } else {
        putToken16(out, kRowFormat, body.data());
    }
}

void putControl(ByteWriter& out, std::size_t columnCount) {
    putToken16(out, kControl, std::string(columnCount, '\0'));
}

void putOrderBy(ByteWriter& out, const std::vector<ColumnInfo>& columns) {
    std::vector<std::pair<int, std::size_t>> sorted; // (place in the ORDER BY, column)
    for (std::size_t i = 0; i < columns.size() && i < 255; ++i)
        if (columns[i].sortPlace > 0)
            sorted.emplace_back(columns[i].sortPlace, i + 1);
    if (sorted.empty())
        return;
    std::sort(sorted.begin(), sorted.end());
    std::string body;
    for (const auto& [place, column] : sorted)
        body += char(std::uint8_t(column));
    putToken16(out, kOrderBy, body);
}

void putRow(ByteWriter& out, const std::vector<ColumnInfo>& columns,
            const std::vector<WireFormat>& formats, const std::vector<Value>& values,
            Charset charset) {
    if (values.size() != columns.size())
        throw WireError("A row does not have one value for each column.");
    out.u8(kRow);
    for (std::size_t i = 0; i < columns.size(); ++i)
        putValue(out, columns[i], formats[i], values[i], charset);
}

} // namespace tds
