#pragma once

// The chooser's list widget as the target of the table listing. Names are handed to the
// widget in batches that double in size, so the widget lays its items out a few times
// in all rather than once per name while the listing lets queued events run: the listing
// takes time in proportion to the number of tables, shown or hidden.

#include "db/tablelist.h"

#include <QListWidget>
#include <QStringList>

namespace pages {

class ListBoxTarget : public db::ListTarget {
  public:
    explicit ListBoxTarget(QListWidget& list) : list_(list) {}
    ~ListBoxTarget() override { flush(); }
    ListBoxTarget(const ListBoxTarget&) = delete;
    ListBoxTarget& operator=(const ListBoxTarget&) = delete;

    void Clear() override {
        pending_.clear();
        list_.clear();
    }
    void AddItem(const QString& item) override {
        pending_.append(item);
        if (pending_.size() >= std::max<qsizetype>(kFirstBatch, list_.count()))
            flush();
    }
    int ListCount() const override { return list_.count() + int(pending_.size()); }

    // Hands the names still held to the widget.
    void flush() {
        if (pending_.isEmpty())
            return;
        list_.addItems(pending_);
        pending_.clear();
    }

  private:
    static constexpr qsizetype kFirstBatch = 64; // more than the list shows at once

    QListWidget& list_;
    QStringList pending_;
};

} // namespace pages
