#pragma once

// Holds the thread that reads a recordset's rows once it has handed over `rows` rows,
// until released, so a test can act while a table is part way read.

#include "db/read/recordsetstream.h"

#include <condition_variable>
#include <memory>
#include <mutex>

namespace testing {

class ReadHold {
  public:
    explicit ReadHold(long long rows) : state_(std::make_shared<State>()) {
        db::setReadBlockHook([state = state_, rows](long long read) {
            std::unique_lock lock(state->mutex);
            if (read < rows)
                return;
            state->held = true;
            state->changed.notify_all();
            state->changed.wait(lock, [&] { return state->released; });
        });
    }
    ~ReadHold() {
        release();
        db::setReadBlockHook(nullptr);
    }
    ReadHold(const ReadHold&) = delete;
    ReadHold& operator=(const ReadHold&) = delete;

    bool held() const {
        std::lock_guard lock(state_->mutex);
        return state_->held;
    }
    void release() {
        std::lock_guard lock(state_->mutex);
        state_->released = true;
        state_->changed.notify_all();
    }

  private:
    struct State {
        mutable std::mutex mutex;
        std::condition_variable changed;
        bool held = false;
        bool released = false;
    };
    std::shared_ptr<State> state_;
};

} // namespace testing
