#pragma once

#include <QPainter>
#include <QWidget>

namespace pages {

// One line of text in the colours of a tool tip, under the cells. Not a label: the
// page's colour routine gives every label button face.
class NoticeBand : public QWidget {
  public:
    using QWidget::QWidget;
    void setText(const QString& text) {
        text_ = text;
        setToolTip(text);
        update();
    }
    QSize sizeHint() const override { return {0, fontMetrics().height() + 6}; }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::ToolTipBase));
        painter.setPen(palette().color(QPalette::ToolTipText));
        const QRect inside = rect().adjusted(4, 0, -4, 0);
        painter.drawText(inside, Qt::AlignVCenter | Qt::AlignLeft,
                         fontMetrics().elidedText(text_, Qt::ElideRight, inside.width()));
    }

  private:
    QString text_;
};

} // namespace pages
