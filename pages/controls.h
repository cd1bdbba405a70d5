#pragma once

// The controls of the page designs: labels and push buttons placed in twips, in the
// pages' fonts.

#include <QFont>
#include <QRect>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace pages {

QFont arial(qreal points, bool bold);

// A label in Arial 9 pt bold on the pages' white design background.
QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption,
                  const QRect& geometry);

// A push button with its caption in Arial 11.25 pt bold.
QPushButton* makePushButton(QWidget* parent, const QString& name, const QString& caption,
                            const QRect& geometry);

} // namespace pages
