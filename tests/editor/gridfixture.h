#pragma once

// A grid over tables on a private sample server, for one editor test case at a time: the
// fake platform, the server and the grid are made in the case's init() and let go, in
// that order backwards, in its cleanup(). With them, the few ways the cases look at the
// grid and work it.

#include "model/recordsetmodel.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/gridedits.h"
#include "support/fakeplatform.h"
#include "support/tablefixture.h"

#include <QAction>
#include <QTest>
#include <memory>

namespace testing {

class GridFixture {
  protected:
    // The fake platform, a fresh server whose database holds `statements` (when there are
    // any), and a grid of this size, not shown.
    void makeGrid(int width, int height, const QStringList& statements = {}) {
        platform_ = std::make_unique<PlatformGuard>();
        server_ = std::make_unique<SampleServer>();
        if (!statements.isEmpty())
            server_->createDatabase(kCatalog, statements);
        grid_ = std::make_unique<pages::DataGrid>();
        grid_->resize(width, height);
        questions_.clear();
    }
    // Shows the grid as the active window.
    void showGrid() {
        grid_->show();
        grid_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(grid_.get()));
    }
    // Every question before a delete is answered yes, and kept.
    void confirmDeletes() {
        grid_->edits()->setConfirm([this](QWidget*, const QString& question) {
            questions_ << question;
            return true;
        });
    }
    void dropGrid() {
        grid_.reset();
        server_.reset();
        platform_.reset();
    }

    model::RecordsetModel& model() { return *static_cast<model::RecordsetModel*>(grid_->model()); }
    QString shown(int row, int column) { return model().index(row, column).data().toString(); }
    // Binds the grid to a table it may edit, and waits for the new-row line.
    void open(const QString& table) {
        grid_->setDataSource(openTable(table));
        QVERIFY(grid_->readOnlyReason().isEmpty()); // learns the keys: the line follows
        QVERIFY(QTest::qWaitFor([&] { return grid_->edits()->newRowLineRow() >= 0; }, 5000));
    }
    void trigger(const char* action) {
        QAction* found = grid_->findChild<QAction*>(QString::fromLatin1(action));
        QVERIFY2(found, action);
        found->trigger();
    }
    // The texts of the boxes shown since the last look.
    QStringList boxes() {
        QStringList texts;
        for (const ShownBox& box : platform_->fake().boxes)
            texts << box.text;
        platform_->fake().boxes.clear();
        return texts;
    }

    std::unique_ptr<PlatformGuard> platform_;
    std::unique_ptr<SampleServer> server_;
    std::unique_ptr<pages::DataGrid> grid_;
    QStringList questions_; // asked before deletes
};

} // namespace testing
