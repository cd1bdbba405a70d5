// libFuzzer target: bytes as a client could send them, through the framing, the login
// libFuzzer target: bytes as a client could send them, through the framing, the login
// record parser, the encrypted password answer's reader and the request decoder; and the
// same bytes read as a login and as a result's columns, through the writers of the login
// reply (in either message order) and of a row format with its ORDERBY and CONTROL tokens,
// whose output must walk as a token stream to its last byte. Nothing may crash, hang or
// read out of bounds.

#include "sample/server/login.h"
#include "sample/server/packets.h"
#include "sample/server/passwordexchange.h"
#include "sample/server/requests.h"
#include "sample/server/tokens.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

void require(bool condition) {
    if (!condition)
        __builtin_trap();
}

// Walks a reply token by token; `columns` is the count the last row format declared.
// Returns the message numbers in the order they came.
std::vector<std::uint32_t> walk(std::string_view reply) {
    std::vector<std::uint32_t> messages;
    tds::ByteReader in(reply);
    std::size_t columns = 0;
    while (in.remaining() > 0) {
        const std::uint8_t token = in.u8();
        switch (token) {
        case 0xFD: // DONE, DONEPROC, DONEINPROC
        case 0xFE:
        case 0xFF:
            in.bytes(8);
            break;
        case 0x61: { // ROWFMT2
            tds::ByteReader format(in.bytes(in.u32()));
            columns = format.u16();
            break;
        }
        case 0xEE: { // ROWFMT
            tds::ByteReader format(in.bytes(in.u16()));
            columns = format.u16();
            break;
        }
        case 0xAE: // CONTROL: one format length per column, all empty
            require(in.u16() == columns);
            in.bytes(columns);
            break;
        case 0xA9: { // ORDERBY: places of columns of the last format
            const std::string_view places = in.bytes(in.u16());
            for (const char place : places)
                require(std::uint8_t(place) >= 1 && std::uint8_t(place) <= columns);
            break;
        }
        case 0xE5: { // EED
            tds::ByteReader message(in.bytes(in.u16()));
            messages.push_back(message.u32());
            require(!message.failed());
            break;
        }
        case 0xE3: // ENVCHANGE, LOGINACK, CAPABILITY
        case 0xAD:
        case 0xE2:
            in.bytes(in.u16());
            break;
        default:
            require(false);
        }
        require(!in.failed());
    }
    return messages;
}

// Columns of any type, nullability, expression and sort place the bytes name.
std::vector<tds::ColumnInfo> columnsFrom(std::string_view bytes) {
    std::vector<tds::ColumnInfo> columns;
    for (std::size_t i = 0; i + 3 < bytes.size() && columns.size() < 300; i += 4) {
        tds::ColumnInfo c;
        c.name = "c";
        c.table = "t";
        c.type = tds::AseType(std::uint8_t(bytes[i]) % (int(tds::AseType::UniText) + 1));
        c.length = 1 + std::uint8_t(bytes[i + 1]);
        c.precision = 1 + std::uint8_t(bytes[i + 1]) % 38;
        c.scale = std::uint8_t(bytes[i + 2]) % (c.precision + 1);
        c.nullable = bytes[i + 2] & 1;
        c.expression = bytes[i + 2] & 2;
        c.sortPlace = std::uint8_t(bytes[i + 3]) % 4;
        columns.push_back(c);
    }
    return columns;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // The bytes split in two as a socket may deliver them.
    const std::size_t cut = size == 0 ? 0 : data[0] % size;
    tds::MessageAssembler assembler;
    if (assembler.feed(bytes.substr(0, cut)) && assembler.feed(bytes.substr(cut))) {
        for (tds::WireMessage m; assembler.next(m);) {
            if (m.type == tds::kLoginPacket)
                (void)tds::parseLoginRecord(m.body);
            if (m.type == tds::kNormalPacket)
                (void)tds::parseEncryptedPasswords(m.body);
            (void)tds::decodeRequest(m.type, m.body, tds::Charset::Utf8);
            (void)tds::decodeRequest(m.type, m.body, tds::Charset::Iso1);
        }
    }
    // And the whole input as one message body of each kind.
    const tds::LoginRecord login = tds::parseLoginRecord(bytes);
    (void)tds::parseEncryptedPasswords(bytes);
    for (const std::uint8_t type : {tds::kQueryPacket, tds::kNormalPacket, tds::kAttentionPacket})
        (void)tds::decodeRequest(type, bytes, tds::Charset::Utf8);

    // The login reply to that record, as recorded servers order its messages and not.
    tds::LoginReplyInfo info;
    info.database = login.user;
    info.serverName = login.server;
    info.recorded.loginMessageOrder = cut % 2 == 0;
    tds::ByteWriter reply;
    tds::putLoginAccepted(reply, login, info);
    const std::vector<std::uint32_t> order = walk(reply.data());
    require(order == (info.recorded.loginMessageOrder
                          ? std::vector<std::uint32_t>{5704, 5701, 5703}
                          : std::vector<std::uint32_t>{5701, 5703, 5704}));

    // A result's format from the bytes, followed as recorded servers follow it.
    const std::vector<tds::ColumnInfo> columns = columnsFrom(bytes);
    tds::Recorded recorded;
    recorded.baseUserTypes = cut % 3 != 0;
    recorded.nullableExpressions = cut % 5 != 0;
    tds::ByteWriter result;
    tds::putRowFormat(result, columns, cut % 2 == 1, tds::Charset::Utf8, recorded);
    tds::putOrderBy(result, columns);
    tds::putControl(result, columns.size());
    tds::putDone(result, tds::DoneKind::Done, tds::kDoneCount, 0, tds::kTransactionCompleted);
    (void)walk(result.data());
    return 0;
}
