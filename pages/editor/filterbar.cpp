#include "pages/editor/filterbar.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>
#include <memory>

namespace pages {
namespace {

constexpr db::FilterOp kOps[] = {db::FilterOp::Equal,    db::FilterOp::NotEqual,
                                 db::FilterOp::Less,     db::FilterOp::LessOrEqual,
                                 db::FilterOp::Greater,  db::FilterOp::GreaterOrEqual,
                                 db::FilterOp::Contains, db::FilterOp::StartsWith,
                                 db::FilterOp::IsNull,   db::FilterOp::IsNotNull};

bool takesValue(db::FilterOp op) {
    return op != db::FilterOp::IsNull && op != db::FilterOp::IsNotNull;
}

} // namespace

FilterBar::FilterBar(QWidget* grid) : QWidget(grid), grid_(grid) {
    setObjectName(QStringLiteral("FilterBar"));
    setAutoFillBackground(true);
    const auto button = [this](const char* name, const QString& text, const QString& tip) {
        auto* made = new QPushButton(text, this);
        made->setObjectName(QLatin1String(name));
        made->setToolTip(tip);
        made->setAutoDefault(true); // Enter on a button presses it
        return made;
    };
    add_ = button("FilterAdd", QStringLiteral("Add Condition"),
                  QStringLiteral("Another condition that must hold too"));
    apply_ = button("FilterApply", QStringLiteral("Apply"),
                    QStringLiteral("Read the rows that match every condition (Enter)"));
    clear_ = button("FilterClear", QStringLiteral("Clear Filter"),
                    QStringLiteral("Read every row of the table again"));
    close_ =
        new QPushButton(style()->standardIcon(QStyle::SP_TitleBarCloseButton), QString(), this);
    close_->setObjectName(QStringLiteral("FilterClose"));
    close_->setAccessibleName(QStringLiteral("Close"));
    close_->setToolTip(QStringLiteral("Close the filter bar (Esc); the filter stays"));
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("FilterStatus"));
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 1, 4, 1);
    layout->setSpacing(1);
    conditions_ = new QVBoxLayout;
    conditions_->setSpacing(1);
    layout->addLayout(conditions_);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(4);
    buttons->addWidget(add_);
    buttons->addWidget(apply_);
    buttons->addWidget(clear_);
    buttons->addWidget(status_, 1);
    buttons->addWidget(close_);
    layout->addLayout(buttons);

    connect(add_, &QPushButton::clicked, this, &FilterBar::addCondition);
    connect(apply_, &QPushButton::clicked, this, &FilterBar::applyWanted);
    connect(clear_, &QPushButton::clicked, this, &FilterBar::clearWanted);
    connect(close_, &QPushButton::clicked, this, &FilterBar::close);
    hide();
}

QSize FilterBar::sizeHint() const {
    return {0, QWidget::sizeHint().height()};
}

void FilterBar::setColumns(const QStringList& names) {
    if (names == columns_)
        return;
    db::Filter kept;
    for (const db::FilterCondition& condition : filter().conditions)
        if (condition.column >= 0 && condition.column < names.size() &&
            condition.column < columns_.size() &&
            names[condition.column] == columns_[condition.column])
            kept.conditions.push_back(condition);
    columns_ = names;
    setFilter(kept);
}

void FilterBar::open() {
    if (lines_.empty())
        addCondition();
    if (isHidden()) {
        show();
        emit shownChanged();
    }
    lines_.front().column->setFocus();
}

void FilterBar::close() {
    if (!isHidden()) {
        hide();
        emit shownChanged();
    }
    grid_->setFocus();
}

db::Filter FilterBar::filter() const {
    db::Filter filter;
    for (const Line& line : lines_) {
        db::FilterCondition condition;
        condition.column = line.column->currentIndex();
        condition.op = kOps[std::max(0, line.op->currentIndex())];
        if (takesValue(condition.op))
            condition.value = line.value->text();
        filter.conditions.push_back(condition);
    }
    return filter;
}

void FilterBar::setFilter(const db::Filter& filter) {
    while (!lines_.empty())
        removeCondition(int(lines_.size()) - 1);
    for (const db::FilterCondition& condition : filter.conditions)
        addLine(condition);
    relayout();
}

void FilterBar::addCondition() {
    db::FilterCondition condition;
    condition.column = 0;
    addLine(condition);
    relayout();
    lines_.back().column->setFocus();
}

void FilterBar::removeCondition(int index) {
    if (index < 0 || index >= int(lines_.size()))
        return;
    const bool hadFocus = lines_[std::size_t(index)].row->isAncestorOf(QApplication::focusWidget());
    const std::unique_ptr<QWidget> gone(lines_[std::size_t(index)].row); // its widgets with it
    gone->hide();
    lines_.erase(lines_.begin() + index);
    relayout();
    if (hadFocus)
        (lines_.empty() ? static_cast<QWidget*>(add_)
                        : lines_[std::size_t(std::min(index, int(lines_.size()) - 1))].column)
            ->setFocus();
}

void FilterBar::addLine(const db::FilterCondition& condition) {
    Line line;
    line.row = new QWidget(this);
    auto* layout = new QHBoxLayout(line.row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    line.column = new QComboBox(line.row);
    line.column->setObjectName(QStringLiteral("FilterColumn"));
    line.column->setAccessibleName(QStringLiteral("Column"));
    line.column->addItems(columns_);
    line.column->setCurrentIndex(condition.column < columns_.size() ? condition.column : 0);
    line.op = new QComboBox(line.row);
    line.op->setObjectName(QStringLiteral("FilterOperator"));
    line.op->setAccessibleName(QStringLiteral("Operator"));
    for (db::FilterOp op : kOps)
        line.op->addItem(db::filterOpText(op));
    line.op->setCurrentIndex(
        int(std::find(std::begin(kOps), std::end(kOps), condition.op) - std::begin(kOps)));
    line.value = new QLineEdit(condition.value, line.row);
    line.value->setObjectName(QStringLiteral("FilterValue"));
    line.value->setAccessibleName(QStringLiteral("Value"));
    line.value->setPlaceholderText(QStringLiteral("Value"));
    line.remove =
        new QPushButton(style()->standardIcon(QStyle::SP_DialogDiscardButton), QString(), line.row);
    line.remove->setObjectName(QStringLiteral("FilterRemove"));
    line.remove->setAccessibleName(QStringLiteral("Remove Condition"));
    line.remove->setToolTip(QStringLiteral("Remove this condition"));
    line.remove->setAutoDefault(true);
    layout->addWidget(line.column, 2);
    layout->addWidget(line.op, 1);
    layout->addWidget(line.value, 3);
    layout->addWidget(line.remove);
    QWidget* row = line.row;
    connect(line.op, &QComboBox::currentIndexChanged, this, [this, row] {
        for (const Line& each : lines_)
            if (each.row == row)
                showValueFor(each);
    });
    connect(line.remove, &QPushButton::clicked, this, [this, row] {
        for (std::size_t i = 0; i < lines_.size(); ++i)
            if (lines_[i].row == row)
                return removeCondition(int(i));
    });
    showValueFor(line);
    conditions_->addWidget(line.row);
    if (!isHidden())
        line.row->show();
    lines_.push_back(line);
}

void FilterBar::showValueFor(const Line& line) {
    line.value->setEnabled(takesValue(kOps[std::max(0, line.op->currentIndex())]));
}

void FilterBar::relayout() {
    // The tab order follows the conditions, then the buttons.
    QWidget* previous = nullptr;
    for (const Line& line : lines_)
        for (QWidget* control :
             {static_cast<QWidget*>(line.column), static_cast<QWidget*>(line.op),
              static_cast<QWidget*>(line.value), static_cast<QWidget*>(line.remove)}) {
            if (previous)
                setTabOrder(previous, control);
            previous = control;
        }
    for (QWidget* control : {static_cast<QWidget*>(add_), static_cast<QWidget*>(apply_),
                             static_cast<QWidget*>(clear_), static_cast<QWidget*>(close_)}) {
        if (previous)
            setTabOrder(previous, control);
        previous = control;
    }
    adjustSize();
    if (!isHidden())
        emit shownChanged(); // the bar's height changed: the grid places it again
}

void FilterBar::say(const QString& text, int condition) {
    status_->setText(text);
    status_->setToolTip(text);
    if (condition >= 0 && condition < int(lines_.size())) {
        const Line& line = lines_[std::size_t(condition)];
        (line.value->isEnabled() ? static_cast<QWidget*>(line.value)
                                 : static_cast<QWidget*>(line.op))
            ->setFocus();
    }
}

QString FilterBar::status() const {
    return status_->text();
}

void FilterBar::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        close();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        emit applyWanted();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

bool FilterBar::focusNextPrevChild(bool next) {
    QWidget* from = QApplication::focusWidget();
    if (!from || !isAncestorOf(from))
        return QWidget::focusNextPrevChild(next);
    QWidget* to = from;
    do
        to = next ? to->nextInFocusChain() : to->previousInFocusChain();
    while (to != from && !(isAncestorOf(to) && to->isVisibleTo(this) && to->isEnabled() &&
                           (to->focusPolicy() & Qt::TabFocus)));
    to->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

} // namespace pages
