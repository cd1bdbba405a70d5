// The pages under a real window manager (run by run-under-openbox.sh on a virtual
// screen): the window boxes each page asks for, the editor's layout once the frame is
// known, and a close sent through the window manager while the chooser's "Next >" waits
// for a server that never answers. Prints one line per failed check; exits 0 when all
// passed. With --run-to-the-end it runs the whole program instead (see runToTheEnd).

#include "app/framewatch.h"
#include "app/mainmodule.h"
#include "app/platform.h"
#include "app/settingsstore.h"
#include "app/shutdown.h"
#include "app/startup.h"
#include "db/provider.h"
#include "pages/chooser/form2.h"
#include "pages/connection/form1.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/form3.h"
#include "pages/program.h"
#include "pages/wizard.h"
#include "sample/sampleserver.h"
#include "support/loginbackend.h"

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

int failures = 0;

void check(bool ok, const QString& what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", qPrintable(what));
    if (!ok)
        ++failures;
}

xcb_connection_t* x11() {
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

xcb_atom_t atom(const char* name) {
    auto cookie = xcb_intern_atom(x11(), 0, quint16(qstrlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(x11(), cookie, nullptr);
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return value;
}

// The actions the window manager offers for a window (_NET_WM_ALLOWED_ACTIONS).
QStringList allowedActions(const QWidget& page) {
    auto cookie = xcb_get_property(x11(), 0, xcb_window_t(page.winId()),
                                   atom("_NET_WM_ALLOWED_ACTIONS"), XCB_ATOM_ATOM, 0, 64);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(x11(), cookie, nullptr);
    QStringList names;
    if (reply) {
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        for (int i = 0; i < xcb_get_property_value_length(reply) / 4; ++i) {
            auto nameCookie = xcb_get_atom_name(x11(), atoms[i]);
            xcb_get_atom_name_reply_t* name = xcb_get_atom_name_reply(x11(), nameCookie, nullptr);
            if (name)
                names << QString::fromLatin1(xcb_get_atom_name_name(name),
                                             xcb_get_atom_name_name_length(name))
                             .remove(QStringLiteral("_NET_WM_ACTION_"));
            free(name);
        }
        free(reply);
    }
    return names;
}

// Asks the window manager to close the window, as its close box does.
void closeThroughWindowManager(const QWidget& page) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = xcb_window_t(page.winId());
    event.type = atom("_NET_CLOSE_WINDOW");
    event.data.data32[0] = XCB_CURRENT_TIME;
    event.data.data32[1] = 2; // from a pager, as a user's action
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x11())).data->root;
    xcb_send_event(x11(), 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(x11());
}

// Asks the window manager to add (or remove) states of the window.
void setState(const QWidget& page, bool add, const char* first, const char* second = nullptr) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = xcb_window_t(page.winId());
    event.type = atom("_NET_WM_STATE");
    event.data.data32[0] = add ? 1 : 0;
    event.data.data32[1] = atom(first);
    event.data.data32[2] = second ? atom(second) : 0;
    event.data.data32[3] = 2;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x11())).data->root;
    xcb_send_event(x11(), 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(x11());
}

// Asks openbox to take the window's frame away (or to give it back).
void setUndecorated(const QWidget& page, bool undecorated) {
    setState(page, undecorated, "_OB_WM_STATE_UNDECORATED");
}

// Waits until the window manager has framed the page and offers it actions.
bool managed(const QWidget& page) {
    return QTest::qWaitFor(
        [&] {
            return page.isVisible() && page.frameGeometry().height() > page.height() &&
                   !allowedActions(page).isEmpty();
        },
        10000);
}

void checkBoxes(const char* name, const QWidget& page, bool sizable) {
    check(managed(page), QStringLiteral("%1 is framed by the window manager").arg(name));
    const QStringList actions = allowedActions(page);
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
        setState(page, true, "_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ");
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

// The desktop, without the occasional visit to the maker's home page.
class CheckPlatform : public app::Platform {
  public:
    CheckPlatform() : desktop_(app::makeDesktopPlatform(QStringLiteral("Quorvane WM check"))) {}
    void messageBox(QWidget* parent, const QString& text, int style,
                    const QString& title) override {
        check(false, QStringLiteral("no box shows: %1").arg(text));
        desktop_->messageBox(parent, text, style, title);
    }
    void openUrl(const QString&) override {}
    double secondsSinceMidnight() override { return desktop_->secondsSinceMidnight(); }
    double randomDraw(double seed) override { return desktop_->randomDraw(seed); }
    QString programFolder() override { return desktop_->programFolder(); }
    std::unique_ptr<QSettings> openSettings(const QString& key) override {
        return desktop_->openSettings(key);
    }
    void endProgram() override { desktop_->endProgram(); }
    void processEvents() override { desktop_->processEvents(); }

  private:
    std::unique_ptr<app::Platform> desktop_;
};

void saveSampleValues(quint16 port) {
    const std::pair<const char*, QString> values[] = {{"Server", QLatin1String(sample::kServer)},
                                                      {"Port", QString::number(port)},
                                                      {"User", QLatin1String(sample::kUser)},
                                                      {"Password", QLatin1String(sample::kPassword)},
                                                      {"Database", QLatin1String(sample::kDatabase)}};
    for (const auto& [key, value] : values)
        app::SaveSetting(app::ApplicationKey, app::ProductName, QString::fromLatin1(key), value);
}

// A server that takes the connection and never says a word.
std::unique_ptr<tds::Server> silentServer() {
    auto server = testing::startLoginServer("sa", "secret");
    tds::Faults faults;
    faults.neverAnswer = true;
    server->setFaults(faults);
    return server;
}

} // namespace

// Runs a callback when the watched window gets its close event.
class CloseWatch : public QObject {
  public:
    explicit CloseWatch(std::function<void()> closing) : closing_(std::move(closing)) {}

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Close)
            closing_();
        return false;
    }

  private:
    std::function<void()> closing_;
};

// The whole program, event loop and all: the connection page's "Next >" waits for a
// server that never answers and the page is closed through the window manager meanwhile.
// The run must come to its end (a lost close would leave it waiting).
int runToTheEnd(QApplication& application) {
    const auto silentOwner = silentServer();
    tds::Server& silent = *silentOwner;
    QElapsedTimer clock;
    bool nextReturned = false;
    CloseWatch closeWatch([&] {
        check(!nextReturned, QStringLiteral("the close reached the page while \"Next >\" waited"));
    });
    const int result = pages::runProgram(application, app::ProgramKind::Quorvane, [&] {
        app::setPlatform(std::make_unique<CheckPlatform>());
        const std::pair<const char*, QString> values[] = {{"Server", "127.0.0.1"},
                                                          {"Port", QString::number(silent.port())},
                                                          {"User", "sa"},
                                                          {"Password", "secret"},
                                                          {"Database", "pubs"}};
        for (const auto& [key, value] : values)
            app::SaveSetting(app::ApplicationKey, app::ProductName, QString::fromLatin1(key),
                             value);
        // The start-up's own attempt (no window shows yet) is given up by the server.
        QTimer::singleShot(0, [&] {
            silent.waitForConnections(1, 10000);
            silent.dropConnections();
        });
        // Once the connection page shows, "Next >", and the close while it waits.
        auto* shown = new QTimer(qApp);
        shown->setInterval(50);
        QObject::connect(shown, &QTimer::timeout, [&, shown] {
            pages::Form1& connection = pages::form1();
            if (!connection.isVisible() || !connection.isLoaded())
                return;
            shown->stop();
            check(managed(connection), QStringLiteral("the connection page is on screen"));
            QTimer::singleShot(0, &connection, [&] {
                check(silent.waitForConnections(2, 10000),
                      QStringLiteral("\"Next >\" waits for the server"));
                clock.start();
                closeThroughWindowManager(connection);
            });
            connection.installEventFilter(&closeWatch);
            connection.PushButton3->click();
            nextReturned = true;
        });
        shown->start();
    });
    check(result == 0 && clock.isValid(),
          QStringLiteral("the program ended %1 ms after the close").arg(clock.elapsed()));
    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}

int main(int argc, char* argv[]) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QApplication application(argc, argv);
    if (!qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        std::printf("FAILED: not on an X11 display\n");
        return 1;
    }
    if (QCoreApplication::arguments().contains(QStringLiteral("--run-to-the-end")))
        return runToTheEnd(application);
    QTemporaryDir sampleFolder;
    sample::ensureSampleDatabase(sampleFolder.path());
    const auto sampleServer = sample::startServer(sampleFolder.path(), 0);
    app::installDesktop(app::ProgramKind::Sample);
    app::setPlatform(std::make_unique<CheckPlatform>());
    saveSampleValues(sampleServer->port());
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
    setUndecorated(editor, true);
    check(QTest::qWaitFor([&] { return app::outerSize(editor).height() < framed; }, 5000),
          QStringLiteral("the window manager took the editor's title bar away"));
    QTest::qWait(200);
    checkEditorLayout(editor);
    setUndecorated(editor, false);
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
    const auto silentOwner = silentServer();
    tds::Server& silent = *silentOwner;
    connection.Text1->setText(QStringLiteral("127.0.0.1"));
    connection.Text2->setText(QString::number(silent.port()));
    bool closeSent = false;
    QTimer::singleShot(0, &chooser, [&] {
        closeSent = silent.waitForConnections(1, 10000);
        closeThroughWindowManager(chooser);
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
    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}
