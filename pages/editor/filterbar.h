#pragma once

// The grid's filter bar (Ctrl+Shift+F): conditions of column, operator and value, all of
// which must hold ("Add Condition" adds one, the button beside a condition removes it),
// Apply (also Enter) and "Clear Filter". A condition the filter cannot send shows its
// reason in the bar (the grid keeps its rows). Esc closes the bar and gives the grid the
// focus back. The bar only holds the conditions: the grid applies them (DataGrid).

#include "db/read/filter.h"

#include <QStringList>
#include <QWidget>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace pages {

class FilterBar : public QWidget {
    Q_OBJECT
  public:
    // A bar for the grid it is a child of (hidden until opened).
    explicit FilterBar(QWidget* grid);

    // The columns the conditions choose from; conditions on other columns go.
    void setColumns(const QStringList& names);
    // Shows the bar with the focus in its first condition (one is added when there is none).
    void open();
    void close();
    // The conditions as they stand in the bar.
    db::Filter filter() const;
    // Puts these conditions in the bar; nothing is applied.
    void setFilter(const db::Filter& filter);
    // Says something in the bar: why a condition was refused (the focus goes to it), or
    // that a remembered filter is offered. Empty: says nothing.
    void say(const QString& text, int condition = -1);
    QString status() const;
    void addCondition();
    void removeCondition(int index);
    QSize sizeHint() const override;

  signals:
    void applyWanted();
    void clearWanted();
    void shownChanged();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Tab and Shift+Tab go round the bar's own controls (the grid would take them to move
    // its current cell).
    bool focusNextPrevChild(bool next) override;

  private:
    struct Line {
        QWidget* row = nullptr;
        QComboBox* column = nullptr;
        QComboBox* op = nullptr;
        QLineEdit* value = nullptr;
        QPushButton* remove = nullptr;
    };
    void addLine(const db::FilterCondition& condition);
    // The NULL tests take no value.
    static void showValueFor(const Line& line);
    void relayout();

    QWidget* grid_;
    QStringList columns_;
    std::vector<Line> lines_;
    QVBoxLayout* conditions_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* apply_ = nullptr;
    QPushButton* clear_ = nullptr;
    QPushButton* close_ = nullptr;
    QLabel* status_ = nullptr;
};

} // namespace pages
