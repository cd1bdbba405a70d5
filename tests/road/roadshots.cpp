// Brings the sample program to one of its pages on a real screen, for screenshots:
//
//   road-shots <connection|chooser|editor|editor-find|editor-new-row> <program folder>
//              <ready file> [table] [WxH]
//
// Runs the real start-up with the desktop platform over the sample database in the user's
// data location, with the sample's values in the user's settings, and the given program
// folder (so a skin file there applies). Start-up lands on the chooser; "< Back" leads to
// the connection page, choosing `table` (default "titles") and "Next >" to the editor,
// which is then resized to W x H pixels when a size is given (as a user would drag it).
// "editor-find" then sorts the rows by the price, downwards, and finds "cook" with Ctrl+F.
// "editor-multiline" goes on in the multi-line editor with Shift+Enter in a title;
// "editor-refused" types a date the column refuses; "editor-long-reason" types a new row
// whose key the server refuses (each by key presses, as a user would); "editor-filter"
// applies a filter of two conditions and types a price that takes a row out of it.
// Once the page has painted, its rectangle on the screen in device pixels ("WxH+X+Y") is
// written to the ready file; the program then stays up until it is killed, a minute at
// most. A box shown on the way (an error) blocks, and no ready file appears.

#include "app/lookandfeel.h"
#include "app/mainmodule.h"
#include "app/page.h"
#include "app/platform.h"
#include "app/secretstore.h"
#include "app/settingsstore.h"
#include "db/read/filter.h"
#include "db/read/recordset.h"
#include "pages/chooser/form2.h"
#include "pages/connection/form1.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/filterbar.h"
#include "pages/editor/findbar.h"
#include "pages/editor/form3.h"
#include "pages/editor/gridedits.h"
#include "pages/program.h"
#include "pages/wizard.h"
#include "sample/samplesettings.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSaveFile>
#include <QSettings>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {

// The desktop, except for the program folder, and no visit to the home page.
class ShotPlatform : public app::Platform {
  public:
    explicit ShotPlatform(QString folder)
        : desktop_(app::makeDesktopPlatform(QStringLiteral("Quorvane Sample"))),
          folder_(std::move(folder)) {}

    void messageBox(QWidget* parent, const QString& text, int style,
                    const QString& title) override {
        std::fprintf(stderr, "road-shots: box: %s\n", qPrintable(text));
        desktop_->messageBox(parent, text, style, title);
    }
    void openUrl(const QString&) override {}
    double secondsSinceMidnight() override { return desktop_->secondsSinceMidnight(); }
    double randomDraw(double seed) override { return desktop_->randomDraw(seed); }
    QString programFolder() override { return folder_; }
    std::unique_ptr<QSettings> openSettings(const QString& key) override {
        return desktop_->openSettings(key);
    }
    app::SecretStore& secrets() override { return *secrets_; } // never the user's keyring
    void endProgram() override { desktop_->endProgram(); }
    void processEvents() override { desktop_->processEvents(); }

  private:
    std::unique_ptr<app::Platform> desktop_;
    std::unique_ptr<app::SecretStore> secrets_ = app::makeAbsentStore();
    QString folder_;
};

// Goes from the chooser to the page; answers the page, or null when the road failed.
app::Page* goTo(const QString& page, const QString& table) {
    pages::Form2& chooser = pages::form2();
    if (!chooser.isVisible())
        return nullptr;
    if (page == QLatin1String("chooser"))
        return &chooser;
    if (page == QLatin1String("connection")) {
        chooser.PushButton2->click();
        return &pages::form1();
    }
    const auto found = chooser.List1->findItems(table, Qt::MatchExactly);
    if (found.isEmpty())
        return nullptr;
    chooser.List1->setCurrentItem(found.first());
    chooser.PushButton3->click();
    return &pages::form3();
}

// The editor with a value typed on its new-row line.
void showNewRow() {
    pages::DataGrid& grid = *pages::form3().DataGrid1;
    grid.edits()->addRow();
    const int line = grid.edits()->newRowLineRow();
    grid.model()->setData(grid.model()->index(line, 1), QStringLiteral("Quorvane for Beginners"));
}

// A key pressed and released where the keyboard's focus is, with its text.
void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {}) {
    for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QWidget* focus = QApplication::focusWidget();
        if (!focus)
            return;
        QKeyEvent event(type, key, modifiers, text);
        QCoreApplication::sendEvent(focus, &event);
    }
}

void typeText(const QString& text) {
    for (const QChar c : text)
        press(c == QLatin1Char(' ') ? int(Qt::Key_Space) : int(c.toUpper().unicode()),
              Qt::NoModifier, QString(c));
}

// Types into a cell of the editor's grid: F2, all of it replaced.
void typeInto(int row, const QString& column, const QString& text) {
    pages::DataGrid& grid = *pages::form3().DataGrid1;
    const int at = grid.DataSource()->rows.columnIndex(column);
    grid.setCurrentIndex(grid.model()->index(row, std::max(at, 0)));
    grid.setFocus();
    press(Qt::Key_F2);
    press(Qt::Key_A, Qt::ControlModifier);
    typeText(text);
}

void showEditorKeys(const QString& page) {
    pages::DataGrid& grid = *pages::form3().DataGrid1;
    if (page == QLatin1String("editor-multiline")) {
        typeInto(0, QStringLiteral("title"), QStringLiteral("The Busy Executive's Guide"));
        press(Qt::Key_Return, Qt::ShiftModifier);
        QTimer::singleShot(100, [] { typeText(QStringLiteral("Second Edition")); });
    } else if (page == QLatin1String("editor-refused")) {
        typeInto(1, QStringLiteral("pubdate"), QStringLiteral("12/31/2024"));
        press(Qt::Key_Return);
    } else if (page == QLatin1String("editor-filter")) {
        const auto column = [&](const char* name) {
            return grid.DataSource()->rows.columnIndex(QLatin1String(name));
        };
        const db::Filter filter{{{column("price"), db::FilterOp::Less, QStringLiteral("20")},
                                 {column("title"), db::FilterOp::Contains, QStringLiteral("o")}}};
        grid.filterBar()->open();
        grid.filterBar()->setFilter(filter);
        grid.applyFilter(filter);
        // Once the rows that match are in: a price typed that takes the first out of it.
        QTimer::singleShot(400, [] {
            typeInto(0, QStringLiteral("price"), QStringLiteral("25"));
            press(Qt::Key_Return);
        });
    } else if (page == QLatin1String("editor-long-reason")) {
        grid.edits()->addRow();
        const int line = grid.edits()->newRowLineRow();
        typeInto(line, QStringLiteral("title_id"), QStringLiteral("BU1032"));
        press(Qt::Key_Return);
        typeInto(line, QStringLiteral("title"), QStringLiteral("A Second Busy Executive"));
        press(Qt::Key_Return);
        typeInto(line, QStringLiteral("type"), QStringLiteral("business"));
        press(Qt::Key_Return);
        typeInto(line, QStringLiteral("pubdate"), QStringLiteral("2024-12-31"));
        press(Qt::Key_Return);
        press(Qt::Key_Up); // leaves the line: the server refuses the key
    }
}

void writeReady(const QString& path, const QWidget& page) {
    const qreal ratio = page.devicePixelRatioF();
    const QRect r = page.frameGeometry();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(QStringLiteral("%1x%2+%3+%4\n")
                   .arg(qRound(r.width() * ratio))
                   .arg(qRound(r.height() * ratio))
                   .arg(qRound(r.x() * ratio))
                   .arg(qRound(r.y() * ratio))
                   .toLatin1());
    file.commit();
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: road-shots <connection|chooser|editor|editor-find|"
                             "editor-new-row> <program folder> <ready file> [table] [WxH]\n");
        return 2;
    }
    const QString page = args[1];
    const QString readyFile = args[3];
    const QString table = args.size() > 4 ? args[4] : QStringLiteral("titles");
    const QStringList size = args.size() > 5 ? args[5].split(QLatin1Char('x')) : QStringList();
    QFile::remove(readyFile);

    sample::ensureSampleDatabase();
    const auto server = sample::startServer(sample::defaultSampleFolder(), 0);
    app::setPlatform(std::make_unique<ShotPlatform>(args[2]));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(app::programIcon());
    sample::storeConnectionValues(server->port());
    pages::startProgram();

    QTimer::singleShot(300, [&] {
        app::Page* shown = goTo(page, table);
        if (!shown || !shown->isVisible()) {
            std::fprintf(stderr, "road-shots: the %s page did not show\n", qPrintable(page));
            QCoreApplication::exit(1);
            return;
        }
        if (size.size() == 2) {
            shown->resize(size[0].toInt(), size[1].toInt());
            shown->centreOnScreen();
        }
        if (page == QLatin1String("editor-find")) {
            pages::DataGrid& grid = *pages::form3().DataGrid1;
            const int price = grid.DataSource()->rows.columnIndex(QStringLiteral("price"));
            grid.sortBy(std::max(price, 0), Qt::DescendingOrder);
            grid.findBar()->open();
            grid.findBar()
                ->findChild<QLineEdit*>(QStringLiteral("FindText"))
                ->setText(QStringLiteral("cook"));
            grid.findBar()->findNext();
        }
        if (page == QLatin1String("editor-new-row"))
            showNewRow();
        // Keys go where the focus is: once the window manager has activated the window.
        const bool typing = page.startsWith(QLatin1String("editor-")) &&
                            page != QLatin1String("editor-find") &&
                            page != QLatin1String("editor-new-row");
        shown->activateWindow();
        QTimer::singleShot(typing ? 600 : 0, [page] { showEditorKeys(page); });
        QTimer::singleShot(typing ? 1500 : 700,
                           [&readyFile, shown] { writeReady(readyFile, *shown); });
    });
    QTimer::singleShot(60000, [] { QCoreApplication::exit(0); });
    const int result = application.exec();
    pages::resetPages();
    return result;
}
