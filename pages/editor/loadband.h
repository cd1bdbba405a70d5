#pragma once

// The band under the grid's cells while a table's rows are read: how many have arrived,
// a busy bar and a Stop button; after a stop (or a failed read) it says that the table
// was not read to its end. Hidden when the rows were read whole.

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace pages {

class RecordsetModel;

class LoadBand : public QWidget {
    Q_OBJECT
  public:
    explicit LoadBand(QWidget* parent = nullptr);

    // Follows the read of this model's rows (null: nothing to show).
    void follow(RecordsetModel* model);
    // The band's text now.
    QString text() const;
    QSize sizeHint() const override;

  signals:
    void shownChanged();

  private:
    void refresh();

    RecordsetModel* model_ = nullptr;
    QLabel* status_ = nullptr;
    QProgressBar* busy_ = nullptr;
    QPushButton* stop_ = nullptr;
    QMetaObject::Connection following_;
};

} // namespace pages
