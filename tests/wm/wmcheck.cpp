// The pages under a real window manager (run by run-under-openbox.sh on a virtual
// screen): the window boxes each page asks for, the editor's layout once the frame is
// known, and a close sent through the window manager while the chooser's "Next >" waits
// for a server that never answers. Prints one line per failed check; exits 0 when all
// passed. With --run-to-the-end it runs the whole program instead (wmend.cpp).

#include "wmcheck.h"

#include "app/framewatch.h"
#include "app/mainmodule.h"
#include "app/platform.h"
#include "app/settingsstore.h"
#include "app/shutdown.h"
#include "app/startup.h"
#include "checkrun.h"
#include "db/connect/provider.h"
#include "pages/chooser/form2.h"
#include "pages/connection/form1.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/form3.h"
#include "pages/program.h"
#include "pages/wizard.h"
#include "sample/samplesettings.h"
#include "support/loginbackend.h"
#include "x11window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <xcb/xcb.h>

namespace {

using wm::check;
using wm::managed;

void checkBoxes(const char* name, const QWidget& page, bool sizable) {
    check(managed(page), QStringLiteral("%1 is framed by the window manager").arg(name));
    const QStringList actions = wm::allowedActions(page);
    const QString listed = actions.join(QLatin1Char(' '));
    check(actions.contains(QStringLiteral("MINIMIZE")) && actions.contains(QStringLiteral("CLOSE")),
          QStringLiteral("%1 can be minimised and closed: %2").arg(name, listed));
    check(actions.contains(QStringLiteral("MAXIMIZE_HORZ")) == sizable &&
              actions.contains(QStringLiteral("MAXIMIZE_VERT")) == sizable &&
              actions.contains(QStringLiteral("RESIZE")) == sizable,
          QStringLiteral("%1 %2 maximised or resized: %3")
              .arg(name, sizable ? "can be" : "cannot be", listed));
    if (!sizable) {
        // What its maximise button would ask for.
        const QSize before = page.size();
        wm::setState(page, true, "_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ");
        QTest::qWait(300);
        check(page.size() == before,
              QStringLiteral("%1 keeps its size when asked to maximise").arg(name));
    }
}

// The editor laid out by its rule from the outer size the window manager gives it.
void checkEditorLayout(const pages::Form3& editor) {
    const QSize outer = app::outerSize(editor);
    const auto at = [](int outerPixels, float minus) {
        return app::twips(int(float(outerPixels) * 15.0f - minus));
    };
    const QString sizes = QStringLiteral("outer %1x%2, client %3x%4, grid %5x%6, notice %7, "
                                         "button %8")
                              .arg(outer.width())
                              .arg(outer.height())
                              .arg(editor.width())
                              .arg(editor.height())
                              .arg(editor.DataGrid1->width())
                              .arg(editor.DataGrid1->height())
                              .arg(editor.Label1->y())
                              .arg(editor.PushButton1->y());
    check(editor.DataGrid1->width() == at(outer.width(), 500.0f) &&
              editor.DataGrid1->height() == at(outer.height(), 1970.0f) &&
              editor.Label1->y() == at(outer.height(), 1420.0f) &&
              editor.PushButton1->y() == at(outer.height(), 1070.0f),
          QStringLiteral("the editor is laid out from its framed size: %1").arg(sizes));
}

} // namespace

int main(int argc, char* argv[]) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QApplication application(argc, argv);
    if (!qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        std::printf("FAILED: not on an X11 display\n");
        return 1;
    }
    if (QCoreApplication::arguments().contains(QStringLiteral("--run-to-the-end")))
        return wm::runToTheEnd(application);
    QTemporaryDir sampleFolder;
    sample::ensureSampleDatabase(sampleFolder.path());
    const auto sampleServer = sample::startServer(sampleFolder.path(), 0);
    app::installDesktop(app::ProgramKind::Sample);
    app::setPlatform(std::make_unique<wm::CheckPlatform>());
    sample::storeConnectionValues(sampleServer->port());
    pages::startProgram();

    // Start-up lands on the chooser; then the editor, and back to the connection page.
    pages::Form2& chooser = pages::form2();
    checkBoxes("the chooser", chooser, false);
    const auto titles = chooser.List1->findItems(QStringLiteral("titles"), Qt::MatchExactly);
    if (!titles.isEmpty())
        chooser.List1->setCurrentItem(titles.first());
    chooser.PushButton3->click();
    pages::Form3& editor = pages::form3();
    checkBoxes("the editor", editor, true);
    check(QApplication::focusWidget() == editor.DataGrid1,
          QStringLiteral("the grid has the focus"));
    QTest::qWait(200); // whatever else the window manager has to say about the frame
    checkEditorLayout(editor);
    // The frame changes while the window keeps its size: the layout follows the frame.
    const int framed = app::outerSize(editor).height();
    wm::setUndecorated(editor, true);
    check(QTest::qWaitFor([&] { return app::outerSize(editor).height() < framed; }, 5000),
          QStringLiteral("the window manager took the editor's title bar away"));
    QTest::qWait(200);
    checkEditorLayout(editor);
    wm::setUndecorated(editor, false);
    check(QTest::qWaitFor([&] { return app::outerSize(editor).height() == framed; }, 5000),
          QStringLiteral("the window manager gave the title bar back"));
    QTest::qWait(200);
    checkEditorLayout(editor);
    editor.PushButton1->click();
    chooser.PushButton2->click();
    pages::Form1& connection = pages::form1();
    checkBoxes("the connection page", connection, false);
    check(QTest::qWaitFor([&] { return QApplication::focusWidget() == connection.Text1; }) &&
              connection.Text1->selectedText() == connection.Text1->text(),
          QStringLiteral("the server field has the focus, its content selected"));
    connection.PushButton3->click();
    check(chooser.isVisible(), QStringLiteral("the connection page leads to the chooser"));
    check(QTest::qWaitFor([&] { return QApplication::focusWidget() == chooser.List1; }),
          QStringLiteral("the chooser's list has the focus"));

    // "Next >" on the chooser against a server that never answers (5000 s to connect);
    // the chooser is closed through the window manager while it waits.
    const auto silentOwner = testing::startSilentServer();
    tds::Server& silent = *silentOwner;
    connection.Text1->setText(QStringLiteral("127.0.0.1"));
    connection.Text2->setText(QString::number(silent.port()));
    bool closeSent = false;
    QTimer::singleShot(0, &chooser, [&] {
        closeSent = silent.waitForConnections(1, 10000);
        wm::closeThroughWindowManager(chooser);
    });
    QElapsedTimer waited;
    waited.start();
    chooser.PushButton3->click();
    check(closeSent, QStringLiteral("the chooser's \"Next >\" waited for the server"));
    check(app::programEnded(),
          QStringLiteral("the close ended the program, %1 ms into the wait").arg(waited.elapsed()));
    check(!editor.isVisible() && !chooser.isVisible() && !connection.isVisible(),
          QStringLiteral("no page is left on screen"));
    check(editor.Label2->text() == QStringLiteral(" Now Editing: titles"),
          QStringLiteral("nothing of \"Next >\" ran after the close"));

    pages::resetPages();
    return wm::finish();
}
