#pragma once

// Runs one write of the grid on a worker thread while the window goes on repainting.
// The page shows the hourglass; clicks and keys wait their turn. When the write has not
// finished after a moment, a small window-modal box says so and offers Cancel, which
// stops the statement that runs then (and with it the write's transaction).

#include "db/write/rowwriter.h"

#include <functional>

class QWidget;

namespace pages {

// Milliseconds before the box with the Cancel button shows.
inline constexpr int kWriteBoxDelayMs = 1000;

db::CellWriteResult waitForWrite(QWidget* owner, const std::function<db::CellWriteResult()>& write);

} // namespace pages
