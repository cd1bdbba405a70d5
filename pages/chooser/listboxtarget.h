#pragma once

// The chooser's list widget as the target of the table listing. Names are handed to the
// widget in batches that double in size, so the widget lays its items out a few times
// in all rather than once per name while the listing lets queued events run: the listing
// takes time in proportion to the number of tables, shown or hidden.

#include "db/read/tablelist.h"

#include <QListWidget>
#include <QStringList>
#include <vector>

namespace pages {

class ListBoxTarget : public db::ListTarget {
  public:
    // `tables` is kept in step with the list: what each of its lines names.
    ListBoxTarget(QListWidget& list, std::vector<db::TableName>& tables)
        : list_(list), tables_(tables) {}
    ~ListBoxTarget() override { flush(); }
    ListBoxTarget(const ListBoxTarget&) = delete;
    ListBoxTarget& operator=(const ListBoxTarget&) = delete;

    void Clear() override {
        pending_.clear();
        list_.clear();
        tables_.clear();
    }
    void AddItem(const QString& item, const db::TableName& table) override {
        tables_.push_back(table);
        AddItem(item);
    }
    void AddItem(const QString& item) override { // a name the list shows as it is
        if (tables_.size() < std::size_t(ListCount()) + 1)
            tables_.push_back({QString(), item});
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
    std::vector<db::TableName>& tables_;
    QStringList pending_;
};

} // namespace pages
