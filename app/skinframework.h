#pragma once

// The skin engine. A skin is a Qt style sheet kept in a file; the engine loads it and
// applies it to the windows it is handed. The program reaches the engine only through its
// dispatch interface, member by number, so the engine can be exchanged (tests put a
// recording one in its place).

#include <QObject>
#include <QString>
#include <QVariant>

class QWidget;

namespace app {

enum class DispatchKind { Method, PropertyGet, PropertyPut };

namespace skin {
// Members of the dispatch interface.
inline constexpr int kOptions = 1;     // property, int: option flags (below)
inline constexpr int kLoadSkin = 2;    // method (file path, variant name) -> bool
inline constexpr int kApplyWindow = 3; // method (32-bit window handle) -> bool
inline constexpr int kEnabled = 5;     // property, bool: applying styles windows at all
inline constexpr int kRepolish = 10;   // property, bool: re-polish every child at once

// Option flags.
inline constexpr int kOptionWindowScope = 1; // style only the windows handed to the engine,
                                             // not the whole application
} // namespace skin

class SkinFramework : public QObject {
    Q_OBJECT
  public:
    explicit SkinFramework(QObject* parent = nullptr);

    // Calls member `id` with `args`. Throws std::runtime_error when the member does not
    // exist, the arguments do not fit it, or the member itself fails.
    virtual QVariant invoke(int id, DispatchKind kind, const QVariantList& args = {});

    // What the engine holds (for inspection; the program itself never asks).
    const QString& loadedSheet() const { return sheet_; }
    bool isLoaded() const { return loaded_; }
    int options() const { return options_; }
    bool isEnabled() const { return enabled_; }
    bool repolishes() const { return repolish_; }

  private:
    QVariant loadSkin(const QVariantList& args);
    QVariant applyWindow(const QVariantList& args);

    QString sheet_;
    bool loaded_ = false;
    int options_ = 0;
    bool enabled_ = false;
    bool repolish_ = false;
};

// Checks a style sheet's outline: closed comments and strings, balanced blocks, a selector
// before every block and nothing left after the last one. Empty when sound, else what is
// wrong and at which line.
QString styleSheetFault(const QString& sheet);

// The engine control of a page, its child "SkinFramework1"; made when the page has none.
SkinFramework& skinFrameworkOf(QWidget& page);

// The 32-bit window handle of a window, as the engine takes it.
qint32 windowHandle(QWidget& window);

} // namespace app
