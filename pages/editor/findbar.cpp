#include "pages/editor/findbar.h"

#include "model/recordsetmodel.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTableView>

namespace pages {

const QString FindBar::NotFoundText = QStringLiteral("Not found");
const QString FindBar::WrappedText = QStringLiteral("Passed the last row; went on from the top.");
const QString FindBar::WrappedBackText =
    QStringLiteral("Passed the first row; went on from the bottom.");
const QString FindBar::WaitingText =
    QStringLiteral("End of the rows read so far; searching the rows still arriving...");

FindBar::FindBar(QTableView* grid) : QWidget(grid), grid_(grid) {
    setObjectName(QStringLiteral("FindBar"));
    setAutoFillBackground(true);
    text_ = new QLineEdit(this);
    text_->setObjectName(QStringLiteral("FindText"));
    text_->setPlaceholderText(QStringLiteral("Find"));
    // The bar fits the editor at its design size: the buttons are arrows, the field keeps
    // room for a word, and the status gives way first (its whole text is its tooltip).
    text_->setMinimumWidth(text_->fontMetrics().averageCharWidth() * 12);
    const auto arrow = [this](const char* name, const QString& label, QStyle::StandardPixmap icon,
                              const QString& tip) {
        auto* button = new QPushButton(style()->standardIcon(icon), QString(), this);
        button->setObjectName(QLatin1String(name));
        button->setAccessibleName(label);
        button->setToolTip(tip);
        button->setAutoDefault(false);
        return button;
    };
    previous_ = arrow("FindPrevious", QStringLiteral("Previous"), QStyle::SP_ArrowUp,
                      QStringLiteral("Find the previous match (Shift+F3)"));
    next_ = arrow("FindNext", QStringLiteral("Next"), QStyle::SP_ArrowDown,
                  QStringLiteral("Find the next match (F3, Enter)"));
    matchCase_ = new QCheckBox(QStringLiteral("Match case"), this);
    matchCase_->setObjectName(QStringLiteral("FindMatchCase"));
    wholeCell_ = new QCheckBox(QStringLiteral("Whole cell"), this);
    wholeCell_->setObjectName(QStringLiteral("FindWholeCell"));
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("FindStatus"));
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    close_ = arrow("FindClose", QStringLiteral("Close"), QStyle::SP_TitleBarCloseButton,
                   QStringLiteral("Close the find bar (Esc)"));
    for (QPushButton* button : {previous_, next_, close_})
        button->setFixedWidth(text_->sizeHint().height() + 2);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 1, 4, 1);
    layout->setSpacing(4);
    layout->addWidget(text_, 2);
    layout->addWidget(previous_);
    layout->addWidget(next_);
    layout->addWidget(matchCase_);
    layout->addWidget(wholeCell_);
    layout->addWidget(status_, 3);
    layout->addWidget(close_);

    connect(text_, &QLineEdit::returnPressed, this, &FindBar::findNext);
    connect(next_, &QPushButton::clicked, this, &FindBar::findNext);
    connect(previous_, &QPushButton::clicked, this, &FindBar::findPrevious);
    connect(close_, &QPushButton::clicked, this, &FindBar::close);
    connect(&search_, &model::CellSearch::found, this, &FindBar::showFound);
    connect(&search_, &model::CellSearch::notFound, this, [this] { say(NotFoundText); });
    connect(&search_, &model::CellSearch::waitingForRows, this, [this] { say(WaitingText); });
    hide();
}

QSize FindBar::sizeHint() const {
    return {0, QWidget::sizeHint().height()};
}

void FindBar::open() {
    if (isHidden()) {
        show();
        emit shownChanged();
    }
    text_->setFocus();
    text_->selectAll();
}

void FindBar::close() {
    stop();
    if (!isHidden()) {
        hide();
        emit shownChanged();
    }
    grid_->setFocus();
}

void FindBar::stop() {
    search_.stop();
}

QString FindBar::status() const {
    return status_->text();
}

void FindBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FindBar::find(bool backwards) {
    if (text_->text().isEmpty()) {
        open();
        return;
    }
    auto* model = qobject_cast<model::RecordsetModel*>(grid_->model());
    model::FindOptions options;
    options.text = text_->text();
    options.matchCase = matchCase_->isChecked();
    options.wholeCell = wholeCell_->isChecked();
    options.backwards = backwards;
    backwards_ = backwards;
    const QModelIndex current = grid_->currentIndex();
    say(QString());
    search_.start(model, current.isValid() ? current.row() : -1,
                  current.isValid() ? current.column() : -1, options);
}

void FindBar::showFound(int row, int column, bool wrapped) {
    const QModelIndex index = grid_->model()->index(row, column);
    grid_->setCurrentIndex(index);
    grid_->scrollTo(index);
    say(wrapped ? (backwards_ ? WrappedBackText : WrappedText) : QString());
}

void FindBar::say(const QString& text) {
    status_->setText(text);
    status_->setToolTip(text);
}

} // namespace pages
