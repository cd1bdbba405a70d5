#include "pages/controls.h"

#include "app/lookandfeel.h"
#include "app/page.h"

#include <QLabel>
#include <QPushButton>

namespace pages {

void setWindowBoxes(QWidget* page, bool sizable) {
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                            Qt::WindowCloseButtonHint;
    if (sizable)
        flags |= Qt::WindowMaximizeButtonHint;
    else
        flags |= Qt::MSWindowsFixedSizeDialogHint;
    page->setWindowFlags(flags);
}

QFont arial(qreal points, bool bold) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption,
                  const QRect& geometry) {
    auto* control = new QLabel(caption, parent);
    control->setObjectName(name);
    control->setGeometry(geometry);
    control->setFont(arial(9, true));
    app::setBackColorCode(control, app::kWhite);
    return control;
}

QPushButton* makePushButton(QWidget* parent, const QString& name, const QString& caption,
                            const QRect& geometry) {
    auto* control = new QPushButton(caption, parent);
    control->setObjectName(name);
    control->setGeometry(geometry);
    control->setFont(arial(11.25, true));
    return control;
}

} // namespace pages
