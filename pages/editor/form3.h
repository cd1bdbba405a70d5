#pragma once

// The table editor: the chosen table's rows in an editable grid. The chooser shows it,
// sets Label2 and binds DataGrid1; the page itself only lays itself out, goes back to
// the chooser, and ends the program when closed.

#include "app/page.h"

class QLabel;
class QPushButton;

namespace pages {

class DataGrid;

class Form3 : public app::Page {
    Q_OBJECT
  public:
    Form3();

    void Form_Load() override;
    void Form_Resize();
    void PushButton1_Click(); // < Back

    DataGrid* DataGrid1 = nullptr;
    QLabel* Label1 = nullptr; // the notice
    QLabel* Label2 = nullptr; // " Now Editing: " + table
    QPushButton* PushButton1 = nullptr;

  protected:
    // Form_Resize runs when the window is shown, resized or changes state, and whenever
    // its outer size changes otherwise (the window manager adds or changes the frame).
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    // Closing with something typed that could not be written asks first (DataGrid).
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // An edit still open in the grid is committed before the program ends.
    void Form_Unload() override;

    void hideEvent(QHideEvent* event) override;

  private:
    // The window's size and place, kept with the view's settings between runs.
    void saveWindowPlace();
    void restoreWindowPlace();
    void layOutForSize();
    void layOutForFrame();

    QSize laidOutFor_; // the outer size of the last layout
    bool watchingFrame_ = false;
};

} // namespace pages
