#pragma once

#include <QPainter>
#include <QWidget>
#include <algorithm>

namespace pages {

// Text in the colours of a tool tip, under the cells, wrapped to as many lines as it
// takes (the grid keeps it within its own height). Not a label: the page's colour routine
// gives every label button face.
class NoticeBand : public QWidget {
  public:
    using QWidget::QWidget;
    static constexpr int kMargin = 4;
    void setText(const QString& text) {
        text_ = text;
        setToolTip(text);
        update();
    }
    const QString& text() const { return text_; }
    QSize sizeHint() const override { return {0, fontMetrics().height() + 6}; }
    // The height the whole text takes at this width.
    int heightForWidth(int width) const override {
        const QRect inside(0, 0, std::max(width - 2 * kMargin, 1), 1 << 20);
        return std::max(fontMetrics().boundingRect(inside, Qt::TextWordWrap, text_).height(),
                        fontMetrics().height()) +
               6;
    }
    bool hasHeightForWidth() const override { return true; }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::ToolTipBase));
        painter.setPen(palette().color(QPalette::ToolTipText));
        const QRect inside = rect().adjusted(kMargin, 3, -kMargin, -3);
        painter.drawText(inside, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap, text_);
    }

  private:
    QString text_;
};

} // namespace pages
