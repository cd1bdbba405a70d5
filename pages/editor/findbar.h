#pragma once

// The grid's find bar (Ctrl+F): a text, Next and Previous (also F3 and Shift+F3, and
// Enter in the text), Match case and Whole cell, and a line that says how the last
// search went ("Not found", or that it went on past an end). The match becomes the
// grid's current cell. Esc closes the bar and gives the grid the focus back. The search
// never makes the window wait (cellsearch.h).

#include "model/cellsearch.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace pages {

class FindBar : public QWidget {
    Q_OBJECT
  public:
    static const QString NotFoundText;
    static const QString WrappedText;
    static const QString WrappedBackText;
    static const QString WaitingText;

    // A bar for the grid it is a child of (hidden until opened).
    explicit FindBar(QTableView* grid);

    // Shows the bar with its text selected and the focus in it.
    void open();
    void close();
    void findNext() { find(false); }
    void findPrevious() { find(true); }
    // Ends a search under way (the grid is bound to other rows).
    void stop();
    // How the last search went; empty while none has ended.
    QString status() const;
    bool searching() const { return search_.running(); }
    QSize sizeHint() const override;

  signals:
    void shownChanged();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void find(bool backwards);
    void showFound(int row, int column, bool wrapped);
    void say(const QString& text);

    QTableView* grid_;
    model::CellSearch search_;
    bool backwards_ = false;
    QLineEdit* text_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* previous_ = nullptr;
    QCheckBox* matchCase_ = nullptr;
    QCheckBox* wholeCell_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* close_ = nullptr;
};

} // namespace pages
