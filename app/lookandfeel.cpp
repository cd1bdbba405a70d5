#include "app/lookandfeel.h"

#include "app/mainmodule.h"
#include "app/page.h"
#include "app/skinframework.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QBuffer>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableView>
#include <QtEndian>
#include <stdexcept>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

// The resources live in a static library: make sure they are registered.
static void registerResources() {
    Q_INIT_RESOURCE(resources);
}

namespace app {
namespace {

QString skinPath() {
    return besideProgram(QStringLiteral("\\x\\o.cjs"));
}

// A directory-listing search for exactly this name that finds normal files only: not
// folders, hidden or system files, nor links that lead nowhere.
bool normalFileListed(const QString& path) {
    const QFileInfo info(path);
    const QStringList names = QDir(info.path()).entryList({info.fileName()}, QDir::Files);
    if (!names.contains(info.fileName()))
        return false;
#ifdef Q_OS_WIN
    const DWORD attributes = GetFileAttributesW(reinterpret_cast<LPCWSTR>(path.utf16()));
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))
        return false;
#endif
    return true;
}

// The kinds whose BackColor the colour routine sets: option buttons, check boxes, frames
// and labels.
bool takesFormColour(const QWidget* control) {
    return qobject_cast<const QRadioButton*>(control) || qobject_cast<const QCheckBox*>(control) ||
           qobject_cast<const QGroupBox*>(control) || qobject_cast<const QLabel*>(control);
}

// The page's controls in collection order: every widget inside it, container before its
// contents; windows of their own (dialogs parented to the page) are not its controls.
void collectControls(const QWidget& parent, QList<QWidget*>& controls) {
    for (QObject* child : parent.children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget || widget->isWindow())
            continue;
        controls << widget;
        collectControls(*widget, controls);
    }
}

[[noreturn]] void invalidPicture(const QString& path, const QString& why) {
    throw std::runtime_error(
        QStringLiteral("Invalid picture: %1 (%2)").arg(path, why).toStdString());
}

// Keeps a page's MousePointer to the rule of one control.
class HoverRule : public QObject {
  public:
    // A rule that `passes` lets the move go on to the part itself (a grid's header keeps
    // its own resize pointer and highlight); the grid's rule above it has the same value.
    HoverRule(Page& page, short value, bool passes, QObject* parent)
        : QObject(parent), page_(&page), value_(value), passes_(passes) {}

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::MouseMove)
            return false;
        if (page_ && page_->MousePointer() != kPointerHourglass && page_->MousePointer() != value_)
            page_->setMousePointer(value_);
        // Only the control under the pointer answers a move: a plain move stops here
        // instead of going on to the containers' rules. Moves with a button held (drags)
        // stay the control's own.
        return !passes_ && static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton;
    }

  private:
    QPointer<Page> page_;
    short value_;
    bool passes_;
};

// The parts of a scrolled control that the pointer can be over besides its cells: the
// viewport, a table's column header and row selector with the corner button between
// them, and the scroll bars. They all count as the control.
QList<QWidget*> partsOf(QAbstractScrollArea& area) {
    QList<QWidget*> parts{area.viewport(), area.horizontalScrollBar(), area.verticalScrollBar()};
    if (auto* table = qobject_cast<QTableView*>(&area)) {
        for (QHeaderView* header : {table->horizontalHeader(), table->verticalHeader()})
            parts << header << header->viewport();
        parts << table->findChild<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly);
    }
    parts.removeAll(nullptr);
    return parts;
}

} // namespace

void ApplySkin(Page& connectionPage) {
    if (!normalFileListed(skinPath()))
        return;
    // Colours first: they stay even when the engine fails below.
    SetFormColors(connectionPage);
    SkinFramework& engine = skinFrameworkOf(connectionPage);
    engine.invoke(skin::kLoadSkin, DispatchKind::Method, {skinPath(), QString()});
    const QVariant flags = engine.invoke(skin::kOptions, DispatchKind::PropertyGet);
    bool isNumber = false;
    const qint32 value = flags.toInt(&isNumber);
    if (!isNumber)
        throw std::runtime_error("Type mismatch");
    engine.invoke(skin::kOptions, DispatchKind::PropertyPut, {qint32(value | 1)});
    engine.invoke(skin::kEnabled, DispatchKind::PropertyPut, {true});
    engine.invoke(skin::kRepolish, DispatchKind::PropertyPut, {true});
    engine.invoke(skin::kApplyWindow, DispatchKind::Method, {windowHandle(connectionPage)});
}

void SetFormColors(QWidget& form) {
    if (auto* page = qobject_cast<Page*>(&form))
        page->setBackColor(kButtonFace);
    else
        setBackColorCode(&form, kButtonFace);
    QList<QWidget*> controls;
    collectControls(form, controls);
    for (QWidget* control : controls)
        if (takesFormColour(control))
            setBackColorCode(control, kButtonFace);
}

QString handCursorPath() {
    return besideProgram(QStringLiteral("\\HAND-M.CUR"));
}

QCursor LoadMouseIcon(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        invalidPicture(path, file.errorString());
    const QByteArray data = file.readAll();
    const auto word = [&data](int offset) {
        return qFromLittleEndian<quint16>(data.constData() + offset);
    };
    // Icon and cursor files: reserved 0, type (1 icon, 2 cursor), count, then one 16-byte
    // directory entry per image; a cursor's entry holds the hot spot at bytes 4 and 6.
    const bool iconFile = data.size() >= 22 && word(0) == 0 && (word(2) == 1 || word(2) == 2);
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, iconFile ? "ico" : QByteArray());
    const QImage image = reader.read();
    if (image.isNull())
        invalidPicture(path, reader.errorString());
    int hotX = -1;
    int hotY = -1; // the centre, for pictures that carry no hot spot
    if (iconFile && word(2) == 2) {
        hotX = qMin(int(word(10)), image.width() - 1);
        hotY = qMin(int(word(12)), image.height() - 1);
    }
    return QCursor(QPixmap::fromImage(image), hotX, hotY);
}

void installHoverRule(Page& page, QWidget* control, short value) {
    if (!control)
        return;
    control->setMouseTracking(true);
    control->installEventFilter(new HoverRule(page, value, false, control));
    // Scrolled controls (lists, grids) take the pointer in their parts.
    if (auto* area = qobject_cast<QAbstractScrollArea*>(control)) {
        const QList<QWidget*> parts = partsOf(*area);
        for (QWidget* part : parts) {
            part->setMouseTracking(true);
            // The viewport's rule stops the move as the control's own would.
            part->installEventFilter(new HoverRule(page, value, part != area->viewport(), part));
        }
    }
}

QIcon programIcon() {
    static const bool registered = (registerResources(), true);
    Q_UNUSED(registered);
    QIcon icon;
    for (const int size : {32, 48, 128, 256})
        icon.addFile(QStringLiteral(":/quorvane/icons/quorvane-%1.png").arg(size),
                     QSize(size, size));
    return icon;
}

} // namespace app
