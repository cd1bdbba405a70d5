// The road of a user who works with the keyboard alone, on the bundled sample database:
// every page that shows has its first control focused, so Tab and Space lead through the
// wizard the same way each time a page comes back.

#include "app/settingsstore.h"
#include "pages/chooser/form2.h"
#include "pages/connection/form1.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/form3.h"
#include "pages/program.h"
#include "pages/wizard.h"
#include "support/fakeplatform.h"
#include "support/sampledb.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

class KeyboardTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() { pages::resetPages(); }
    void shouldFocusTheFirstControlOfEveryPageThatShows();
};

namespace {
// A key pressed on the keyboard: the window system hands it to the window, which gives
// it to its focused control.
void press(QWidget& page, Qt::Key key) {
    QTest::keyClick(page.windowHandle(), key);
}
} // namespace

void KeyboardTest::shouldFocusTheFirstControlOfEveryPageThatShows() {
    testing::PlatformGuard guard;
    testing::SampleServer server;
    server.createSampleDatabase();
    QVERIFY(testing::saveConnectionValues(testing::SampleServer::fields(QStringLiteral("pubs"))));
    pages::startProgram();

    // Start-up lands on the chooser: the list has the focus, then "< Back", "Next >".
    pages::Form2& chooser = pages::form2();
    QVERIFY(QTest::qWaitForWindowExposed(&chooser));
    QCOMPARE(chooser.focusWidget(), chooser.List1);
    press(chooser, Qt::Key_Tab);
    press(chooser, Qt::Key_Tab);
    QCOMPARE(chooser.focusWidget(), chooser.PushButton3);
    press(chooser, Qt::Key_Space);

    pages::Form3& editor = pages::form3();
    QVERIFY(editor.isVisible());
    QVERIFY(!chooser.isVisible());
    QCOMPARE(editor.focusWidget(), editor.DataGrid1);
    QVERIFY(editor.DataGrid1->model()->rowCount() > 0);

    // The editor's "< Back": the chooser shows again with its list focused.
    editor.PushButton1->setFocus(Qt::TabFocusReason);
    press(editor, Qt::Key_Space);
    QVERIFY(chooser.isVisible());
    QCOMPARE(chooser.focusWidget(), chooser.List1);
    press(chooser, Qt::Key_Tab);
    press(chooser, Qt::Key_Space); // "< Back"

    // The connection page: the server field, its whole content selected.
    pages::Form1& connection = pages::form1();
    QVERIFY(QTest::qWaitForWindowActive(&connection));
    QCOMPARE(connection.focusWidget(), connection.Text1);
    QCOMPARE(connection.Text1->selectedText(), connection.Text1->text());
    for (int i = 0; i < 7; ++i)
        press(connection, Qt::Key_Tab);
    QCOMPARE(connection.focusWidget(), connection.PushButton3);
    press(connection, Qt::Key_Space); // "Next >": the chooser lists twice, disabled meanwhile

    QVERIFY(chooser.isVisible());
    QVERIFY(!connection.isVisible());
    QCOMPARE(chooser.focusWidget(), chooser.List1);
    press(chooser, Qt::Key_Tab);
    press(chooser, Qt::Key_Tab);
    press(chooser, Qt::Key_Space);
    QVERIFY(editor.isVisible());
    QCOMPARE(editor.focusWidget(), editor.DataGrid1);
    QVERIFY(guard.fake().boxes.isEmpty());
}

QTEST_MAIN(KeyboardTest)
#include "tst_keyboard.moc"
