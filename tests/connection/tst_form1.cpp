#include "app/mainmodule.h"
#include "app/settingsstore.h"
#include "pages/chooser/form2.h"
#include "pages/connection/form1.h"
#include "pages/wizard.h"
#include "sample/sampleserver.h"
#include "support/closedport.h"
#include "support/connectionpage.h"
#include "support/fakeplatform.h"
#include "support/sampledb.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

class Form1Test : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { app::SetApplicationTitle(); }
    void cleanup() { pages::resetPages(); }

    void shouldLayOutControlsFromTwips();
    void shouldFollowTabOrderAndSelectWholeFieldOnFocus();
    void shouldSelectWholeFieldAfterMouseClick();
    void shouldKeepTheUsersSelectionWhenFocusComesBackFromTheMenuOrAnotherWindow();
    void shouldMaskPasswordButStoreItsCharacters();
    void shouldStoreEachKeystrokeAndProgramChange();
    void shouldShowHourglassThenCouldNotConnectOnRefusedLogin();
    void shouldSayCouldNotConnectForClosedPort();
    void shouldSayConnectionSuccessfulWithTheTestServer();
    void shouldShowExactHelpText();
    void shouldDoNothingOnNextWhenTestFails();
    void shouldMoveToChooserOnNextWhenTestSucceeds();
};

namespace {
QString stored(const char* key) {
    return app::GetSetting(app::ApplicationKey, app::ProductName, QString::fromLatin1(key),
                           QStringLiteral("<missing>"));
}
} // namespace

void Form1Test::shouldLayOutControlsFromTwips() {
    testing::PlatformGuard guard;
    pages::Form1& page = pages::form1();
    QCOMPARE(page.minimumSize(), QSize(536, 241));
    QCOMPARE(page.maximumSize(), QSize(536, 241));
    QVERIFY(!(page.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(page.windowFlags() & Qt::WindowMinimizeButtonHint);
    QCOMPARE(page.Frame1->title(), QStringLiteral("Sybase ASE Database"));
    QCOMPARE(page.Frame1->geometry(), app::twipsRect(120, 120, 7800, 2830));
    QCOMPARE(page.Text1->geometry(), app::twipsRect(1320, 360, 4575, 345));
    QCOMPARE(page.Text2->geometry(), app::twipsRect(6480, 360, 1095, 345));
    QCOMPARE(page.Label3->geometry(), app::twipsRect(6000, 405, 495, 255));
    QCOMPARE(page.PushButton6->geometry(), app::twipsRect(3960, 2280, 3600, 405));
    QCOMPARE(page.PushButton3->geometry(), app::twipsRect(120, 3090, 7800, 405));
    QCOMPARE(page.PushButton3->parentWidget(), &page);
    QCOMPARE(page.PushButton7->parentWidget(), page.Frame1);

    const QStringList captions = {page.Label2->text(),      page.Label3->text(),
                                  page.Label1->text(),      page.Label4->text(),
                                  page.Label6->text(),      page.PushButton7->text(),
                                  page.PushButton6->text(), page.PushButton3->text()};
    QCOMPARE(captions, QStringList({"Server:", "Port:", "Username:", "Password:", "Database:",
                                    "Test Connection", "Help", "Next >"}));
    for (const char* name : {"Frame1", "Label1", "Label2", "Label3", "Label4", "Label6", "Text1",
                             "Text2", "Text3", "Text4", "Text5"}) {
        auto* control = page.findChild<QWidget*>(QString::fromLatin1(name));
        QVERIFY2(control, name);
        QCOMPARE(control->font().pointSizeF(), 9.0);
        QVERIFY(control->font().bold());
        QCOMPARE(control->font().family(), QStringLiteral("Arial"));
    }
    for (QPushButton* button : {page.PushButton7, page.PushButton6, page.PushButton3}) {
        QCOMPARE(button->font().pointSizeF(), 11.25);
        QVERIFY(button->font().bold());
    }
    QCOMPARE(page.Label4->palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(page.BackColor(), 0x00FFFFFFu);
}

void Form1Test::shouldFollowTabOrderAndSelectWholeFieldOnFocus() {
    testing::PlatformGuard guard;
    pages::Form1& page = pages::form1();
    page.Text1->setText(QStringLiteral("server"));
    page.Text2->setText(QStringLiteral("5000"));
    page.Text4->setText(QStringLiteral("pw"));
    page.Show();
    QVERIFY(QTest::qWaitForWindowActive(&page));
    QCOMPARE(QApplication::focusWidget(), page.Text1);
    QCOMPARE(page.Text1->selectedText(), QStringLiteral("server"));

    const QList<QWidget*> order = {page.Text2,       page.Text3,       page.Text4,
                                   page.Text5,       page.PushButton7, page.PushButton6,
                                   page.PushButton3, page.Text1};
    for (QWidget* next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    // Focus given by the program selects the whole field as well.
    page.Text4->setFocus(Qt::OtherFocusReason);
    QCOMPARE(page.Text4->selectionStart(), 0);
    QCOMPARE(page.Text4->selectionLength(), 2);
    QTest::keyClicks(page.Text4, QStringLiteral("new"));
    QCOMPARE(page.Text4->text(), QStringLiteral("new"));
}

void Form1Test::shouldSelectWholeFieldAfterMouseClick() {
    testing::PlatformGuard guard;
    pages::Form1& page = pages::form1();
    page.Text3->setText(QStringLiteral("someone"));
    page.Show();
    QVERIFY(QTest::qWaitForWindowActive(&page));
    QTest::mouseClick(page.Text3, Qt::LeftButton, {}, QPoint(20, 8));
    QCOMPARE(QApplication::focusWidget(), page.Text3);
    QCOMPARE(page.Text3->selectedText(), QStringLiteral("someone"));
    // A click inside the field that already has the focus just places the caret.
    QTest::mouseClick(page.Text3, Qt::LeftButton, {}, QPoint(20, 8));
    QVERIFY(!page.Text3->hasSelectedText());
}

void Form1Test::shouldKeepTheUsersSelectionWhenFocusComesBackFromTheMenuOrAnotherWindow() {
    testing::PlatformGuard guard;
    pages::Form1& page = pages::form1();
    page.Text1->setText(QStringLiteral("server01"));
    page.Show();
    QVERIFY(QTest::qWaitForWindowActive(&page));
    QCOMPARE(page.Text1->selectedText(), QStringLiteral("server01")); // the page's first show
    page.Text1->setSelection(6, 2);                                   // the user selects "01"

    // The field's own context menu opens and closes (Escape); the focus comes back.
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(10, 8),
                                 page.Text1->mapToGlobal(QPoint(10, 8)));
    QApplication::sendEvent(page.Text1, &rightClick);
    QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    QTRY_VERIFY(!QApplication::activePopupWidget());
    QTRY_COMPARE(QApplication::focusWidget(), page.Text1);
    QCOMPARE(page.Text1->selectedText(), QStringLiteral("01"));

    // Another window takes the focus and gives it back.
    QWidget other;
    other.setFocusPolicy(Qt::StrongFocus);
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    page.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&page));
    QCOMPARE(QApplication::focusWidget(), page.Text1);
    QCOMPARE(page.Text1->selectedText(), QStringLiteral("01"));
    QTest::keyClick(page.Text1, Qt::Key_Delete);
    QCOMPARE(page.Text1->text(), QStringLiteral("server"));
    QCOMPARE(stored("Server"), QStringLiteral("server"));

    // Arriving from another control still selects the whole field.
    QTest::keyClick(page.Text1, Qt::Key_Tab);
    QTest::keyClick(page.Text2, Qt::Key_Backtab);
    QCOMPARE(page.Text1->selectedText(), QStringLiteral("server"));
}

void Form1Test::shouldMaskPasswordButStoreItsCharacters() {
    testing::PlatformGuard guard;
    pages::Form1& page = pages::form1();
    page.Text4->setText(QStringLiteral("s;cr\u00e9t"));
    QCOMPARE(page.Text4->displayText(), QStringLiteral("******"));
    QCOMPARE(stored("Password"), QStringLiteral("s;cr\u00e9t"));
}

void Form1Test::shouldStoreEachKeystrokeAndProgramChange() {
    testing::PlatformGuard guard;
    pages::Form1& page = pages::form1();
    QStringList seen;
    for (const QChar c : QStringLiteral("abc")) {
        QTest::keyClick(page.Text1, c.toLatin1());
        seen << stored("Server");
    }
    QCOMPARE(seen, QStringList({"a", "ab", "abc"}));
    QTest::keyClick(page.Text1, Qt::Key_Backspace);
    QCOMPARE(stored("Server"), QStringLiteral("ab"));
    page.Text5->setText(QStringLiteral("db one"));
    QCOMPARE(stored("Database"), QStringLiteral("db one"));
    page.Text5->clear();
    QCOMPARE(stored("Database"), QString());
    QCOMPARE(stored("User"), QStringLiteral("<missing>"));
}

void Form1Test::shouldShowHourglassThenCouldNotConnectOnRefusedLogin() {
    testing::PlatformGuard guard;
    testing::SampleServer server;
    server.createSampleDatabase();
    pages::Form1& page = pages::form1();
    db::ConnectionFields f = testing::SampleServer::fields(QStringLiteral("pubs"));
    f.password = QStringLiteral("wrong");
    testing::fillConnectionPage(f);
    QList<short> pointers;
    guard.fake().onBox = [&](const testing::ShownBox&) { pointers << page.MousePointer(); };
    page.PushButton7->click();
    QCOMPARE(guard.fake().boxes.size(), 1);
    // The first line as ever; the server's reason under it.
    QCOMPARE(guard.fake().boxes[0].text, QStringLiteral("Could not connect.\nLogin failed."));
    QCOMPARE(guard.fake().boxes[0].style, 0);
    QCOMPARE(guard.fake().boxes[0].title, QStringLiteral("Quorvane"));
    QCOMPARE(pointers, QList<short>{app::kPointerHourglass});
    QCOMPARE(page.MousePointer(), app::kPointerDefault);
}

void Form1Test::shouldSayCouldNotConnectForClosedPort() {
    testing::PlatformGuard guard;
    const testing::ClosedPort closed;
    const QString port = closed.text();
    pages::Form1& page = pages::form1();
    testing::fillConnectionPage({QStringLiteral("127.0.0.1"), port, QStringLiteral("sa"),
                                 QStringLiteral("x;y"), QStringLiteral("master")});
    page.PushButton7_Click();
    QCOMPARE(guard.fake().boxes.size(), 1);
    QCOMPARE(guard.fake().boxes[0].text,
             QStringLiteral("Could not connect.\nUnable to connect: Adaptive Server is unavailable "
                            "or does not exist"));
    QCOMPARE(page.MousePointer(), app::kPointerDefault);
}

void Form1Test::shouldSayConnectionSuccessfulWithTheTestServer() {
    testing::PlatformGuard guard;
    testing::SampleServer server;
    server.createSampleDatabase();
    pages::Form1& page = pages::form1();
    testing::fillConnectionPage(testing::SampleServer::fields(QStringLiteral("pubs")));
    QList<short> pointers;
    guard.fake().onBox = [&](const testing::ShownBox&) { pointers << page.MousePointer(); };
    page.PushButton7_Click();
    QCOMPARE(guard.fake().boxes.size(), 1);
    QCOMPARE(guard.fake().boxes[0].text, QStringLiteral("Connection successful."));
    QCOMPARE(guard.fake().boxes[0].style, 0);
    QCOMPARE(guard.fake().boxes[0].title, QStringLiteral("Quorvane"));
    QCOMPARE(pointers, QList<short>{app::kPointerHourglass});
    QCOMPARE(page.MousePointer(), app::kPointerDefault);
}

void Form1Test::shouldShowExactHelpText() {
    testing::PlatformGuard guard;
    pages::form1().PushButton6->click();
    QCOMPARE(guard.fake().boxes.size(), 1);
    const QByteArray expected =
        "This is how I was able to make a Sybase ASE connection: \r\r"
        "I purchased\r\r"
        "Sybase Adaptive Server Enterprise \xE2\x80\x93 Developer's Edition\r\r"
        "via www.sybase.com\r\r"
        "and downloaded the Sybase 15.01 Client\r\r"
        "specifically\r\r"
        "ase1501clientwin32.zip\r\r"
        "Make sure you select Custom instead of Typical and Full and make sure\r\r"
        "ASE Data Providers (ASE ODBC Driver)\r\r"
        "are installed during the client installation.\r\r";
    QCOMPARE(guard.fake().boxes[0].text.toUtf8(), expected);
    QCOMPARE(guard.fake().boxes[0].style, 0);
    QCOMPARE(guard.fake().boxes[0].title, QStringLiteral("Quorvane"));
}

void Form1Test::shouldDoNothingOnNextWhenTestFails() {
    testing::PlatformGuard guard;
    testing::SampleServer server;
    pages::Form1& page = pages::form1();
    page.Show();
    testing::fillConnectionPage({QStringLiteral("elsewhere"), QStringLiteral("5000"),
                                 QStringLiteral("sa"), QString(), QString()});
    page.PushButton3->click();
    QVERIFY(page.isVisible());
    QVERIFY(guard.fake().boxes.isEmpty());
    QCOMPARE(page.MousePointer(), app::kPointerDefault);
}

void Form1Test::shouldMoveToChooserOnNextWhenTestSucceeds() {
    testing::PlatformGuard guard;
    testing::SampleServer server;
    server.createSampleDatabase();
    pages::Form1& page = pages::form1();
    page.Show();
    testing::fillConnectionPage(testing::SampleServer::fields(QStringLiteral("pubs")));
    page.PushButton3_Click();
    QVERIFY(pages::form2().isVisible());
    QVERIFY(!page.isVisible());
}

QTEST_MAIN(Form1Test)
#include "tst_form1.moc"
