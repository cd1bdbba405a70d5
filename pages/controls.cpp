#include "pages/controls.h"

#include "app/lookandfeel.h"
#include "app/page.h"

#include <QLabel>
#include <QPushButton>

namespace pages {

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
