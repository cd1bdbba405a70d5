#include "pages/chooser/form2.h"

#include "app/errorreport.h"
#include "app/lookandfeel.h"
#include "app/mainmodule.h"
#include "app/platform.h"
#include "db/connect/connection.h"
#include "db/dialect/tsql.h"
#include "db/read/recordset.h"
#include "db/read/tablelist.h"
#include "pages/chooser/listboxtarget.h"
#include "pages/connection/form1.h"
#include "pages/controls.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/form3.h"
#include "pages/globals.h"
#include "pages/wizard.h"

#include <QFont>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <optional>

namespace pages {
namespace {

// Connection and recordset of "Next >": created by statements 100 and 102, used later.
template <typename T> T& created(std::optional<T>& object) {
    if (!object)
        throw std::runtime_error("Object variable or With block variable not set");
    return *object;
}

// Holds a flag up for as long as it lives.
class Busy {
  public:
    explicit Busy(bool& flag) : flag_(flag) { flag_ = true; }
    ~Busy() { flag_ = false; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

  private:
    bool& flag_;
};

// The selected item's index, -1 when none is selected (ListIndex).
int listIndex(const QListWidget& list) {
    const QList<QListWidgetItem*> selected = list.selectedItems();
    return selected.isEmpty() ? -1 : list.row(selected.first());
}

} // namespace

Form2::Form2() {
    setObjectName(QStringLiteral("Form2"));
    setWindowBoxes(this, false);
    setFixedSize(app::twips(5880), app::twips(2685));
    setFont(arial(9, true));

    Label1 = new QLabel(QStringLiteral(" Which table do you want edit?"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(app::twipsRect(240, 120, 2775, 255));

    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setGeometry(app::twipsRect(120, 480, 5640, 1410));
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    List1->setSortingEnabled(false);
    // One line per name in one font: the list measures one item, not every name each time
    // it lays itself out. As in a plain list box, a name wider than the list is cut off.
    List1->setUniformItemSizes(true);

    // A line from (120, 2040) to (5760, 2040).
    Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    Line1->setGeometry(app::twips(120), app::twips(2040), app::twips(5760 - 120), 2);

    PushButton2 = makePushButton(this, QStringLiteral("PushButton2"), QStringLiteral("< Back"),
                                 app::twipsRect(120, 2160, 2655, 405));
    PushButton3 = makePushButton(this, QStringLiteral("PushButton3"), QStringLiteral("Next >"),
                                 app::twipsRect(2880, 2160, 2880, 405));
    setTabOrder(List1, PushButton2);
    setTabOrder(PushButton2, PushButton3);

    connect(PushButton2, &QPushButton::clicked, this, [this] { PushButton2_Click(); });
    connect(PushButton3, &QPushButton::clicked, this, [this] { PushButton3_Click(); });
    // Enter and a double-click on a table do what "Next >" does; a click beside the
    // names keeps the selection, as a list box does.
    List1->installEventFilter(this);
    List1->viewport()->installEventFilter(this);

    app::installHoverRule(*this, this, app::kPointerDefault);
    app::installHoverRule(*this, Label1, app::kPointerDefault);
    app::installHoverRule(*this, List1, app::kPointerDefault);
    app::installHoverRule(*this, PushButton2, app::kPointerCustom);
    app::installHoverRule(*this, PushButton3, app::kPointerCustom);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == List1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
            static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
            PushButton3_Click();
            return true;
        }
    }
    if (watched == List1->viewport() && (event->type() == QEvent::MouseButtonPress ||
                                         event->type() == QEvent::MouseButtonDblClick ||
                                         event->type() == QEvent::MouseButtonRelease)) {
        const QModelIndex at =
            List1->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint());
        if (!at.isValid())
            return true; // nothing there: the selection stays
        if (event->type() == QEvent::MouseButtonDblClick &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            List1->setCurrentIndex(at);
            PushButton3_Click();
            return true;
        }
    }
    return app::Page::eventFilter(watched, event);
}

void Form2::Form_Load() {
    // The listing lets queued events run, and the connection page stays clickable while
    // the first load runs: a load started from there meanwhile would fill the list a
    // second time under the running one. The running load finishes the job alone.
    if (loading_)
        return;
    const Busy busy(loading_);
    db::Handler h = app::guardedHandler(QStringLiteral("Form2"), QStringLiteral("Form_Load"));
    h.step(100, [&] { app::SetFormColors(*this); });
    h.step(102, [&] { setWindowIcon(app::programIcon()); });
    if (h.cond(106, [] { return app::FileExists(app::handCursorPath()); }))
        h.step(108, [&] { setMouseIcon(app::LoadMouseIcon(app::handCursorPath())); });
    h.step(110, [&] { setWindowTitle(app::ProductName); });
    h.step(112, [&] { setMousePointer(app::kPointerHourglass); });
    h.step(114, [&] { setEnabled(false); });
    h.step(116, [&] {
        ListBoxTarget target(*List1, tables_);
        db::Handler listing = app::guardedHandler(QString::fromLatin1(db::kTableListObject),
                                                  QString::fromLatin1(db::kTableListProcedure));
        db::AddTablesToSybaseASEListbox(
            target, [] { return BuildSybaseASEConnectionString(); },
            [] { app::platform().processEvents(); }, listing);
    });
    if (h.cond(118, [&] { return List1->count() > 0; }))
        h.step(118, [&] { List1->setCurrentRow(0); });
    h.step(120, [&] { setEnabled(true); });
    h.step(122, [&] { setMousePointer(app::kPointerDefault); });
}

void Form2::PushButton2_Click() {
    db::Handler h =
        app::guardedHandler(QStringLiteral("Form2"), QStringLiteral("PushButton2_Click"));
    h.step(100, [] { form1().Show(); });
    h.step(102, [&] { Hide(); });
}

void Form2::PushButton3_Click() {
    db::Handler h =
        app::guardedHandler(QStringLiteral("Form2"), QStringLiteral("PushButton3_Click"));
    std::optional<db::Connection> connection;
    std::optional<db::Recordset> recordset;
    h.step(100, [&] { connection.emplace(); });
    h.step(102, [&] { recordset.emplace(); });
    if (!h.cond(104, [&] { return listIndex(*List1) != -1; })) {
        h.step(136, [&] {
            app::platform().messageBox(this, QStringLiteral("Please select a table"),
                                       app::kStyleOkOnly, app::ApplicationTitle());
        });
        return;
    }
    h.step(106, [&] { setMousePointer(app::kPointerHourglass); });
    h.step(108, [&] { created(connection).setCursorLocation(db::adUseServer); });
    h.step(110, [&] { created(connection).setCommandTimeout(5000); });
    h.step(112, [&] { created(connection).setConnectionTimeout(5000); });
    h.step(114, [&] { created(connection).Open(BuildSybaseASEConnectionString()); });
    h.step(116, [&] {
        const QListWidgetItem* item = List1->item(listIndex(*List1));
        if (!item)
            throw std::runtime_error("Invalid property array index");
        Globals::SelectedTableName = item->text();
        const auto row = std::size_t(List1->row(item));
        Globals::SelectedTable =
            row < tables_.size() ? tables_[row] : db::TableName{QString(), item->text()};
    });
    h.step(118, [] { form3().Show(); });
    h.step(120, [] {
        form3().Label2->setText(QStringLiteral(" Now Editing: ") + Globals::SelectedTableName);
    });
    h.step(122, [] { form3().DataGrid1->setDataSource(nullptr); });
    h.step(124, [&] { created(connection).setCursorLocation(db::adUseClient); });
    h.step(126, [&] {
        created(recordset).Open(db::tsql::selectAllFrom(Globals::SelectedTable),
                                created(connection), db::adOpenDynamic, db::adLockOptimistic);
    });
    h.step(128, [&] { form3().DataGrid1->setDataSource(created(recordset).DataSource()); });
    h.step(130, [] { form3().DataGrid1->SetFocus(); });
    h.step(132, [&] { Hide(); });
    h.step(134, [&] { setMousePointer(app::kPointerDefault); });
}

} // namespace pages
