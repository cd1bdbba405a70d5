#include "pages/editor/loadband.h"

#include "db/read/recordset.h"
#include "model/recordsetmodel.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>

namespace pages {

LoadBand::LoadBand(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("LoadBand"));
    setAutoFillBackground(true);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("LoadStatus"));
    busy_ = new QProgressBar(this);
    busy_->setObjectName(QStringLiteral("LoadProgress"));
    busy_->setRange(0, 0); // the number of rows is not known before the end
    busy_->setTextVisible(false);
    busy_->setMaximumWidth(120);
    stop_ = new QPushButton(QStringLiteral("Stop"), this);
    stop_->setObjectName(QStringLiteral("StopLoad"));
    stop_->setToolTip(QStringLiteral("Stop reading rows; the rows read so far stay"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 1, 4, 1);
    layout->addWidget(status_, 1);
    layout->addWidget(busy_);
    layout->addWidget(stop_);
    connect(stop_, &QPushButton::clicked, this, [this] {
        if (stopWaiting_) {
            const std::function<void()> stop = stopWaiting_; // the call ends the waiting
            stop();
        } else if (model_) {
            model_->stopLoading();
        }
    });
    hide();
}

void LoadBand::follow(model::RecordsetModel* model) {
    disconnect(following_);
    model_ = model;
    if (model_)
        following_ = connect(model_, &model::RecordsetModel::loadChanged, this, &LoadBand::refresh);
    refresh();
}

QString LoadBand::text() const {
    return status_->text();
}

QSize LoadBand::sizeHint() const {
    return {0, std::max(stop_->sizeHint().height(), fontMetrics().height() + 6) + 2};
}

void LoadBand::showWaiting(std::function<void()> stop) {
    stopWaiting_ = std::move(stop);
    refresh();
}

void LoadBand::refresh() {
    using Load = db::RecordsetData::Load;
    const Load load = stopWaiting_ ? Load::Reading : model_ ? model_->load() : Load::Complete;
    const QString rows = QLocale().toString(model_ ? model_->shownRows() : 0);
    // Rows read with a filter: the count says they match it.
    const bool filtered = model_ && model_->source() && !model_->source()->filter.empty();
    switch (load) {
    case Load::Complete:
        if (!model_)
            status_->clear();
        else if (model_->shownRows() == 1)
            status_->setText(filtered ? QStringLiteral("1 row matches the filter")
                                      : QStringLiteral("1 row"));
        else
            status_->setText(filtered ? QStringLiteral("%1 rows match the filter").arg(rows)
                                      : QStringLiteral("%1 rows").arg(rows));
        break;
    case Load::Reading:
        status_->setText(stopWaiting_ ? QStringLiteral("Reading the table again…")
                                      : QStringLiteral("Reading rows: %1 so far").arg(rows));
        break;
    case Load::Stopped:
        // A read that stopped on its own (memory) says why.
        status_->setText(
            QStringLiteral("Stopped after %1 rows: the table was not read to its end. %2")
                .arg(rows, model_ ? model_->loadMessage() : QString())
                .trimmed());
        break;
    case Load::Failed:
        status_->setText(QStringLiteral("Reading failed after %1 rows: the table was not read to "
                                        "its end. %2")
                             .arg(rows, model_->loadMessage()));
        break;
    }
    status_->setToolTip(status_->text());
    // A Stop button that goes while it holds the focus gives it back to the grid first:
    // hidden, it would pass it on as Tab does, and the grid would move its current cell.
    if (load != Load::Reading && isAncestorOf(QApplication::focusWidget()) && parentWidget())
        parentWidget()->setFocus(Qt::OtherFocusReason);
    busy_->setVisible(load == Load::Reading);
    stop_->setVisible(load == Load::Reading);
    const bool show = model_ != nullptr || load != Load::Complete;
    if (show == isHidden()) {
        setVisible(show);
        emit shownChanged();
    }
}

} // namespace pages
