#pragma once

// The chooser's list widget as the target of the table listing.

#include "db/tablelist.h"

#include <QListWidget>

namespace pages {

class ListBoxTarget : public db::ListTarget {
  public:
    explicit ListBoxTarget(QListWidget& list) : list_(list) {}

    void Clear() override { list_.clear(); }
    void AddItem(const QString& item) override { list_.addItem(item); }
    int ListCount() const override { return list_.count(); }

  private:
    QListWidget& list_;
};

} // namespace pages
