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

// Asks the window system for the boxes a page's design names, and no others: a close
// box and a minimise box on every page; a maximise box and a sizable border only where
// the page is `sizable` (a fixed page keeps the size it is given).
void setWindowBoxes(QWidget* page, bool sizable);

QFont arial(qreal points, bool bold);

// A label in Arial 9 pt bold on the pages' white design background.
QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption,
                  const QRect& geometry);

// A push button with its caption in Arial 11.25 pt bold.
QPushButton* makePushButton(QWidget* parent, const QString& name, const QString& caption,
                            const QRect& geometry);

} // namespace pages
