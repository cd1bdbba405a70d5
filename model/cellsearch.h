#pragma once

// Looks for a text in the values of the grid's cells, cell by cell from the current one,
// in the order the rows are shown: rightwards then down (or back). Whole values are
// searched, not the prefix a cell shows; binary values as the hexadecimal text the grid
// shows; NULL never matches. The search runs in slices on the event loop, so the window
// never waits for it. Past the last row it goes on at the first (and says so); while the
// rows are still being read it first waits for the rows to come, and goes on with them.

#include <QObject>
#include <QString>

namespace model {

class RecordsetModel;

struct FindOptions {
    QString text;
    bool matchCase = false;
    bool wholeCell = false;
    bool backwards = false;
};

class CellSearch : public QObject {
    Q_OBJECT
  public:
    // The cells looked at in one turn of the event loop.
    static constexpr int kSliceCells = 20000;

    explicit CellSearch(QObject* parent = nullptr);

    // Starts a search after the cell (view row, column); a search under way ends.
    void start(RecordsetModel* model, int row, int column, const FindOptions& options);
    void stop();
    bool running() const { return running_; }

  signals:
    // A match at (view row, column); `wrapped` when the search went past an end for it.
    void found(int row, int column, bool wrapped);
    void notFound();
    // Rows are still being read and none so far matched past the start.
    void waitingForRows();

  private:
    void slice();
    bool matches(int row, int column) const;
    // Moves to the next cell (past the rows shown at an end).
    void step();

    RecordsetModel* model_ = nullptr;
    FindOptions options_;
    QString folded_;
    QByteArray bytes_;
    bool asciiNeedle_ = false;
    int row_ = 0, column_ = 0;           // the cell looked at next
    int startRow_ = 0, startColumn_ = 0; // where the search began (searched last)
    bool wrapped_ = false;
    bool running_ = false;
    bool waiting_ = false;
    int generation_ = 0;
    QMetaObject::Connection rowsCame_;
};

} // namespace model
