#pragma once

// A wizard page: a top-level window that is loaded once (its Form_Load runs when it is
// first shown or explicitly loaded), then only shown and hidden. Closing it ends the
// program.

#include <QCursor>
#include <QWidget>
#include <optional>

namespace app {

// Values of a page's MousePointer.
inline constexpr short kPointerDefault = 0;
inline constexpr short kPointerHourglass = 11;
inline constexpr short kPointerCustom = 99;

// Twips (1440 per logical inch) to logical pixels.
constexpr int twips(int value) {
    return (value + 7) / 15;
}
QRect twipsRect(int left, int top, int width, int height);

class Page : public QWidget {
    Q_OBJECT
  public:
    explicit Page(QWidget* parent = nullptr);

    // Loads the page when it is not loaded yet (runs Form_Load), then shows it.
    void Show();
    void Hide();
    // Loads without showing.
    void Load();
    bool isLoaded() const { return loaded_; }
    // True when the page's own Form_Load hid it (it moved on to another page): the
    // start-up then leaves it hidden instead of showing it.
    bool hiddenByLoad() const { return hiddenByLoad_; }
    // Places the window in the middle of the screen it is on.
    void centreOnScreen();
    // The first control in tab order that can take the focus now (null when none can).
    QWidget* firstFocusableControl() const;
    // True once after the page was shown: the focus that arrives with the window is the
    // page's first, not the window coming back from another one. Reading clears it.
    bool takeShownFocus();

    virtual void Form_Load() = 0;

    short MousePointer() const { return mousePointer_; }
    void setMousePointer(short value);
    // The custom pointer image (value 99); empty until loaded.
    const std::optional<QCursor>& MouseIcon() const { return mouseIcon_; }
    void setMouseIcon(std::optional<QCursor> icon);

    // Colour codes: a set top bit names a system colour (0x8000000F is button face).
    quint32 BackColor() const { return backColor_; }
    void setBackColor(quint32 colour);

  protected:
    void closeEvent(QCloseEvent* event) override;
    // Whenever the page is shown, its first control that can take the focus has it; so
    // it has again when the page is enabled after a busy spell that took the focus away.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Runs when the user closes the window; ends the program.
    virtual void Form_Unload();

  private:
    void applyPointer();

    bool loaded_ = false;
    bool loading_ = false;
    bool hiddenByLoad_ = false;
    bool shownFocus_ = false;
    short mousePointer_ = kPointerDefault;
    std::optional<QCursor> mouseIcon_;
    quint32 backColor_ = 0x00FFFFFF;
};

// A colour code as a colour (system colours through the application palette).
QColor colourFromCode(quint32 code);
// Sets a widget's background colour code (the property "BackColor" as the program sets it).
void setBackColorCode(QWidget* widget, quint32 code);

} // namespace app
