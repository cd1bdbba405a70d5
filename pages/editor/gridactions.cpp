// The grid's actions for reading its rows: copy, find, refresh. Each is one of the grid's
// own actions, so it shows in the context menu and its keys work anywhere in the grid
// (its find bar included).

#include "pages/editor/datagrid.h"

#include "model/gridcopy.h"
#include "model/recordsetmodel.h"
#include "pages/editor/copynull.h"
#include "pages/editor/findbar.h"
#include "pages/editor/gridrefresh.h"

#include <QAction>
#include <QActionGroup>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>

namespace pages {

QAction* DataGrid::addGridAction(const QString& text, const QString& name,
                                 const QList<QKeySequence>& keys) {
    auto* action = new QAction(text, this);
    action->setObjectName(name);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(action);
    return action;
}

void DataGrid::addReadActions() {
    auto* before = new QAction(this);
    before->setSeparator(true);
    addAction(before);
    QAction* copy =
        addGridAction(QStringLiteral("Copy"), QStringLiteral("CopyAction"), {QKeySequence::Copy});
    connect(copy, &QAction::triggered, this, &DataGrid::copySelection);

    // "Copy NULL as": an empty cell, or the word NULL.
    auto* nullMenu = new QMenu(QStringLiteral("Copy NULL As"), this);
    nullMenu->setObjectName(QStringLiteral("CopyNullAsMenu"));
    auto* choices = new QActionGroup(nullMenu);
    for (const auto& [text, word, name] :
         {std::tuple{QStringLiteral("Empty Cell"), QString(), QStringLiteral("CopyNullAsEmpty")},
          std::tuple{QStringLiteral("NULL"), model::RecordsetModel::NullPlaceholder,
                     QStringLiteral("CopyNullAsWord")}}) {
        QAction* choice = nullMenu->addAction(text);
        choice->setObjectName(name);
        choice->setCheckable(true);
        choices->addAction(choice);
        connect(choice, &QAction::triggered, this, [word] { setCopyNullWord(word); });
    }
    connect(nullMenu, &QMenu::aboutToShow, nullMenu, [nullMenu] {
        const bool empty = copyNullWord().isEmpty();
        nullMenu->actions().at(0)->setChecked(empty);
        nullMenu->actions().at(1)->setChecked(!empty);
    });
    QAction* nullAs = nullMenu->menuAction();
    nullAs->setObjectName(QStringLiteral("CopyNullAsAction"));
    addAction(nullAs);

    // Sorting by the current cell's column, for the keyboard (the header's click does it too).
    auto* sorts = new QAction(this);
    sorts->setSeparator(true);
    addAction(sorts);
    for (const auto& [text, name, column, order] :
         {std::tuple{QStringLiteral("Sort Ascending"), QStringLiteral("SortAscendingAction"), 0,
                     Qt::AscendingOrder},
          std::tuple{QStringLiteral("Sort Descending"), QStringLiteral("SortDescendingAction"), 0,
                     Qt::DescendingOrder},
          std::tuple{QStringLiteral("Table Order"), QStringLiteral("TableOrderAction"), -1,
                     Qt::AscendingOrder}}) {
        QAction* sort = addGridAction(text, name, {});
        connect(sort, &QAction::triggered, this, [this, column, order] {
            if (column < 0)
                sortBy(-1, Qt::AscendingOrder);
            else if (currentIndex().isValid())
                sortBy(currentIndex().column(), order);
        });
    }

    auto* between = new QAction(this);
    between->setSeparator(true);
    addAction(between);
    QAction* find = addGridAction(QStringLiteral("Find..."), QStringLiteral("FindAction"),
                                  {QKeySequence::Find});
    connect(find, &QAction::triggered, find_, &FindBar::open);
    QAction* next = addGridAction(QStringLiteral("Find Next"), QStringLiteral("FindNextAction"),
                                  {QKeySequence(Qt::Key_F3)});
    connect(next, &QAction::triggered, find_, &FindBar::findNext);
    QAction* previous =
        addGridAction(QStringLiteral("Find Previous"), QStringLiteral("FindPreviousAction"),
                      {QKeySequence(Qt::SHIFT | Qt::Key_F3)});
    connect(previous, &QAction::triggered, find_, &FindBar::findPrevious);
    QAction* refresh = addGridAction(QStringLiteral("Refresh"), QStringLiteral("RefreshAction"),
                                     {QKeySequence(Qt::Key_F5)});
    connect(refresh, &QAction::triggered, this, &DataGrid::refresh);
}

void DataGrid::copySelection() {
    if (!model_ || !selectionModel())
        return;
    QModelIndexList selected = selectionModel()->selectedIndexes();
    if (selected.isEmpty() && currentIndex().isValid())
        selected.push_back(currentIndex());
    const model::CopiedCells cells = model::copyCells(*model_, selected, copyNullWord());
    if (cells.rows == 0)
        return;
    auto mime = std::make_unique<QMimeData>();
    mime->setText(cells.text);
    mime->setHtml(cells.html);
    QGuiApplication::clipboard()->setMimeData(mime.release()); // the clipboard owns it
}

void DataGrid::refresh() {
    refresh_->refresh();
}

} // namespace pages
