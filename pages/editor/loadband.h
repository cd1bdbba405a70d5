#pragma once

// The band under the grid's cells: while a table's rows are read, how many have arrived,
// a busy bar and a Stop button; after a stop (or a failed read), that the table was not
// read to its end; once the rows were read whole, how many the grid holds ("1,234 rows",
// or "1,234 rows match the filter"). Hidden while nothing is bound.

#include <QWidget>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace model {
class RecordsetModel;
} // namespace model

namespace pages {

class LoadBand : public QWidget {
    Q_OBJECT
  public:
    explicit LoadBand(QWidget* parent = nullptr);

    // Follows the read of this model's rows (null: nothing to show).
    void follow(model::RecordsetModel* model);
    // While the rows are read again and none has come yet (a refresh): says so, with a
    // Stop button that runs `stop`. An empty function ends that and follows the model again.
    void showWaiting(std::function<void()> stop);
    // The band's text now.
    QString text() const;
    QSize sizeHint() const override;

  signals:
    void shownChanged();

  private:
    void refresh();

    model::RecordsetModel* model_ = nullptr;
    QLabel* status_ = nullptr;
    QProgressBar* busy_ = nullptr;
    QPushButton* stop_ = nullptr;
    QMetaObject::Connection following_;
    std::function<void()> stopWaiting_;
};

} // namespace pages
