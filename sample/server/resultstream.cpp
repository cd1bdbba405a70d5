#include "sample/server/resultstream.h"

#include "sample/server/packets.h"
#include "sample/server/requests.h"
#include "sample/server/wirevalue.h"

namespace tds {

ResultStream::ResultStream(Link& link, StreamSettings settings, Faults faults)
    : link_(link), settings_(std::move(settings)), faults_(std::move(faults)) {}

void ResultStream::releaseHeld(bool more) {
    if (!held_)
        return;
    held_ = false;
    putDone(out_, heldKind_, std::uint16_t(heldStatus_ | (more ? kDoneMore : 0)), heldCount_,
            transactionState());
}

std::uint16_t ResultStream::transactionState() const {
    return settings_.recorded.doneTransactionState ? kTransactionCompleted : 0;
}

void ResultStream::sendFull() {
    const std::size_t room = settings_.packetSize - kHeaderSize;
    const std::size_t whole = out_.size() / room * room;
    if (whole == 0)
        return;
    std::string packets;
    appendPackets(packets, kReplyPacket, std::string_view(out_.data()).substr(0, whole),
                  settings_.packetSize, false);
    out_.data().erase(0, whole);
    if (!link_.send(packets))
        broken_ = true;
}

void ResultStream::sendAll(bool last) {
    if (out_.size() == 0 && !last)
        return;
    std::string packets;
    appendPackets(packets, kReplyPacket, out_.data(), settings_.packetSize, last);
    out_.data().clear();
    if (!link_.send(packets))
        broken_ = true;
}

void ResultStream::columns(const std::vector<ColumnInfo>& columns) {
    releaseHeld(true);
    columns_ = columns;
    formats_.clear();
    for (const ColumnInfo& c : columns_)
        formats_.push_back(wireFormat(c, settings_.recorded));
    rows_ = 0;
    putRowFormat(out_, columns_, settings_.wideRowFormat, settings_.charset, settings_.recorded);
    if (settings_.recorded.orderByTokens)
        putOrderBy(out_, columns_);
    if (settings_.recorded.controlTokens)
        putControl(out_, columns_.size());
    sendFull();
}

bool ResultStream::row(const std::vector<Value>& values) {
    if (cancelled())
        return false;
    if (faults_.rowDelayMs > 0) {
        sendAll(false);
        if (link_.waitForAttention(faults_.rowDelayMs))
            return false;
    }
    const std::size_t before = out_.size();
    try {
        putRow(out_, columns_, formats_, values, settings_.charset);
    } catch (const WireError& e) {
        out_.data().resize(before);
        Message m;
        m.number = 247;
        m.severity = 16;
        m.sqlstate = "22003";
        m.text = e.what();
        message(m);
        held_ = true;
        heldKind_ = DoneKind::Done;
        heldStatus_ = kDoneError;
        heldCount_ = 0;
        broken_ = true;
        return false;
    }
    ++rows_;
    if (faults_.dropAfterRows >= 0 && rows_ >= faults_.dropAfterRows) {
        sendAll(false);
        link_.hangUp();
        broken_ = true;
        return false;
    }
    if (faults_.rowDelayMs > 0)
        sendAll(false);
    else
        sendFull();
    return !broken_;
}

void ResultStream::message(const Message& m) {
    releaseHeld(true);
    if (m.severity > 10)
        procedureError_ = true;
    putMessage(out_, m, settings_.serverName, settings_.charset,
               settings_.recorded.messageLineEnds);
}

void ResultStream::done(bool inProcedure, std::optional<std::int64_t> count, bool error) {
    releaseHeld(true);
    held_ = true;
    heldKind_ = inProcedure ? DoneKind::DoneInProc : DoneKind::Done;
    heldStatus_ = std::uint16_t((count ? kDoneCount : 0) | (error ? kDoneError : 0));
    heldCount_ = count ? std::uint32_t(*count) : 0;
    if (error)
        procedureError_ = true;
    sendFull();
}

void ResultStream::returnStatus(int status) {
    releaseHeld(true);
    putReturnStatus(out_, status);
    held_ = true;
    heldKind_ = DoneKind::DoneProc;
    heldStatus_ = procedureError_ ? kDoneError : kDoneFinal;
    heldCount_ = 0;
    procedureError_ = false;
}

void ResultStream::databaseChanged(const std::string& newName, const std::string& oldName) {
    releaseHeld(true);
    putEnvChange(out_, 1, toClient(newName, settings_.charset),
                 toClient(oldName, settings_.charset));
    Message m;
    m.number = 5701;
    m.severity = 10;
    m.sqlstate = "ZZZZZ";
    m.text = "Changed database context to '" + newName + "'.";
    m.state = 1; // recorded: state 1, line 1, also for the database already in use
    m.line = 1;
    putMessage(out_, m, settings_.serverName, settings_.charset,
               settings_.recorded.messageLineEnds);
}

bool ResultStream::cancelled() {
    return broken_ || link_.attentionPending();
}

void ResultStream::finish() {
    if (link_.attentionPending())
        return;
    if (!held_)
        putDone(out_, DoneKind::Done, kDoneFinal, 0, transactionState());
    releaseHeld(false);
    sendAll(true);
}

void ResultStream::attentionAcknowledged() {
    held_ = false;
    putDone(out_, DoneKind::Done, kDoneAttention, 0, transactionState());
    sendAll(true);
}

} // namespace tds
