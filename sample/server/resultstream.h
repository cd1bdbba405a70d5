#pragma once

// A request's results on their way to the client: the tokens of each ResultSink call,
// cut into packets as they fill. The last DONE of a request is held back until it is
// known to be the last, so every other one carries the MORE bit.

#include "sample/server/backend.h"
#include "sample/server/bytes.h"
#include "sample/server/charset.h"
#include "sample/server/server.h"
#include "sample/server/tokens.h"
#include "sample/server/wirevalue.h"

#include <string_view>

namespace tds {

// The connection a stream writes to.
class Link {
  public:
    virtual ~Link() = default;
    virtual bool send(std::string_view bytes) = 0;       // false: the connection is gone
    virtual bool attentionPending() = 0;                 // also when the client is gone
    virtual bool waitForAttention(int milliseconds) = 0; // true when one arrived
    virtual void hangUp() = 0;
};

struct StreamSettings {
    std::size_t packetSize = 512;
    Charset charset = Charset::Utf8;
    bool wideRowFormat = true;
    std::string serverName;
    Recorded recorded;
};

class ResultStream : public ResultSink {
  public:
    ResultStream(Link& link, StreamSettings settings, Faults faults);

    void columns(const std::vector<ColumnInfo>& columns) override;
    bool row(const std::vector<Value>& values) override;
    void message(const Message& message) override;
    void done(bool inProcedure, std::optional<std::int64_t> count, bool error) override;
    void returnStatus(int status) override;
    void databaseChanged(const std::string& newName, const std::string& oldName) override;
    bool cancelled() override;

    // Ends the reply. When an attention is waiting the reply is left open: the
    // acknowledgement ends it (attentionAcknowledged).
    void finish();
    void attentionAcknowledged();

  private:
    void releaseHeld(bool more);
    void sendFull();
    void sendAll(bool last);
    std::uint16_t transactionState() const;

    Link& link_;
    StreamSettings settings_;
    Faults faults_;
    ByteWriter out_;
    std::vector<ColumnInfo> columns_;
    std::vector<WireFormat> formats_;
    bool held_ = false;
    DoneKind heldKind_ = DoneKind::Done;
    std::uint16_t heldStatus_ = 0;
    std::uint32_t heldCount_ = 0;
    bool procedureError_ = false;
    bool broken_ = false;
    std::int64_t rows_ = 0;
};

} // namespace tds
