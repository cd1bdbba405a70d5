#include "chooserfixture.h"

#include "app/mainmodule.h"
#include "db/odbc/dberror.h"
#include "pages/chooser/form2.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTest>

using chooser::Fixture;

class Form2Test : public QObject {
    Q_OBJECT
  private slots:
    void shouldLayOutAsDesigned();
    void shouldListTablesAndSelectTheFirstOnLoad();
    void shouldStayDisabledUnderTheHourglassWhileListing();
    void shouldFollowTheHoverRule();
    void shouldReportListingFailuresWithTheListingsOwnLocation();
    void shouldGoBackAndComeForwardWithTheNewDatabase();
    void shouldNotFillTheListTwiceWhenLoadedAgainMidListing();
};

namespace {
void moveOver(QWidget* widget) {
    QMouseEvent move(QEvent::MouseMove, QPointF(3, 3), widget->mapToGlobal(QPointF(3, 3)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}
// The next control that Tab moves to.
QWidget* nextTabStop(QWidget* widget) {
    QWidget* next = widget->nextInFocusChain();
    while (next != widget && !(next->focusPolicy() & Qt::TabFocus && !next->isWindow() &&
                               next->focusProxy() == nullptr && next->parentWidget() &&
                               next->parentWidget()->isWindow()))
        next = next->nextInFocusChain();
    return next;
}
} // namespace

void Form2Test::shouldLayOutAsDesigned() {
    Fixture run(QStringLiteral("lab"), chooser::kLabTables);
    pages::Form2& page = pages::form2();
    QCOMPARE(page.size(), QSize(392, 179)); // 5880 x 2685 twips
    QCOMPARE(page.minimumSize(), page.maximumSize());
    QVERIFY(!(page.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(page.windowFlags() & Qt::WindowMinimizeButtonHint);
    QCOMPARE(page.font().family(), QStringLiteral("Arial"));
    QCOMPARE(page.font().pointSizeF(), 9.0);
    QVERIFY(page.font().bold());

    QCOMPARE(page.Label1->text(), QStringLiteral(" Which table do you want edit?"));
    QCOMPARE(page.Label1->geometry(), app::twipsRect(240, 120, 2775, 255));
    QCOMPARE(page.List1->geometry(), app::twipsRect(120, 480, 5640, 1410));
    QCOMPARE(page.List1->selectionMode(), QAbstractItemView::SingleSelection);
    QVERIFY(!page.List1->isSortingEnabled());
    QCOMPARE(page.Line1->frameShape(), QFrame::HLine);
    QCOMPARE(page.Line1->geometry().left(), app::twips(120));
    QCOMPARE(page.Line1->geometry().right() + 1, app::twips(5760));
    QCOMPARE(page.Line1->geometry().top(), app::twips(2040));
    QCOMPARE(page.PushButton2->text(), QStringLiteral("< Back"));
    QCOMPARE(page.PushButton2->geometry(), app::twipsRect(120, 2160, 2655, 405));
    QCOMPARE(page.PushButton3->text(), QStringLiteral("Next >"));
    QCOMPARE(page.PushButton3->geometry(), app::twipsRect(2880, 2160, 2880, 405));
    for (const QPushButton* button : {page.PushButton2, page.PushButton3}) {
        QCOMPARE(button->font().family(), QStringLiteral("Arial"));
        QCOMPARE(button->font().pointSizeF(), 11.25);
        QVERIFY(button->font().bold());
    }
    for (const char* name : {"Label1", "List1", "Line1", "PushButton2", "PushButton3"})
        QVERIFY2(page.findChild<QWidget*>(QString::fromLatin1(name)), name);
    QCOMPARE(nextTabStop(page.List1), page.PushButton2);
    QCOMPARE(nextTabStop(page.PushButton2), page.PushButton3);
    QCOMPARE(nextTabStop(page.PushButton3), page.List1);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY((page.geometry().center() - screen.center()).manhattanLength() <= 2);
}

void Form2Test::shouldListTablesAndSelectTheFirstOnLoad() {
    Fixture run(QStringLiteral("lab"), chooser::kLabTables);
    pages::Form2& page = pages::form2();
    page.Show();
    QCOMPARE(run.boxTexts(), QStringList());
    QCOMPARE(page.windowTitle(), QStringLiteral("Quorvane Software"));
    QVERIFY(!page.windowIcon().isNull());
    QCOMPARE(page.List1->count(), 2);
    // The server's order: by name, as Adaptive Server's sp_tables sorts.
    QCOMPARE(page.List1->item(0)->text(), QStringLiteral("Order Details"));
    QCOMPARE(page.List1->item(1)->text(), QStringLiteral("Physics"));
    QCOMPARE(page.List1->currentRow(), 0);
    QVERIFY(page.List1->item(0)->isSelected());
    QVERIFY(page.isEnabled());
    QCOMPARE(page.MousePointer(), app::kPointerDefault);
    QCOMPARE(run.fake->eventPumps, 3); // one per "TABLE" row, SYSLOG included
}

void Form2Test::shouldStayDisabledUnderTheHourglassWhileListing() {
    Fixture run(QStringLiteral("lab"), chooser::kLabTables);
    pages::Form2& page = pages::form2();
    page.Show(); // as the connection page's "Next >" does: shown, then loaded once more
    int pumps = 0;
    run.fake->onPump = [&] {
        ++pumps;
        QVERIFY(!page.isEnabled());
        QCOMPARE(page.MousePointer(), app::kPointerHourglass);
        QTest::mouseClick(page.PushButton3, Qt::LeftButton);
        QTest::mouseClick(page.PushButton2, Qt::LeftButton);
        moveOver(page.PushButton3);
        QCOMPARE(page.MousePointer(), app::kPointerHourglass);
    };
    page.Form_Load();
    QCOMPARE(pumps, 3);
    QCOMPARE(run.boxTexts(), QStringList()); // neither click did anything
    QVERIFY(page.isVisible());
    QVERIFY(page.isEnabled());
    QCOMPARE(page.List1->count(), 2); // rebuilt, not doubled
    QCOMPARE(page.List1->currentRow(), 0);
}

void Form2Test::shouldFollowTheHoverRule() {
    Fixture run(QStringLiteral("lab"), chooser::kLabTables);
    pages::Form2& page = pages::form2();
    page.Show();
    moveOver(page.PushButton3);
    QCOMPARE(page.MousePointer(), app::kPointerCustom);
    moveOver(page.List1->viewport());
    QCOMPARE(page.MousePointer(), app::kPointerDefault);
    moveOver(page.PushButton2);
    QCOMPARE(page.MousePointer(), app::kPointerCustom);
    moveOver(page.Label1);
    QCOMPARE(page.MousePointer(), app::kPointerDefault);
    moveOver(page.PushButton2);
    moveOver(&page);
    QCOMPARE(page.MousePointer(), app::kPointerDefault);
}

void Form2Test::shouldReportListingFailuresWithTheListingsOwnLocation() {
    Fixture run(QStringLiteral("lab"), chooser::kLabTables);
    pages::form1().Text4->setText(QStringLiteral("wrong"));
    pages::Form2& page = pages::form2();
    page.Show();
    QCOMPARE(run.boxTexts(),
             QStringList({chooser::reportText("SybaseASE", "AddTablesToSybaseASEListbox", 104,
                                              testing::kLoginFailedText),
                          chooser::reportText("SybaseASE", "AddTablesToSybaseASEListbox", 106,
                                              QString::fromLatin1(db::kObjectClosed))}));
    QCOMPARE(run.fake->boxes.at(0).style, 48);
    QCOMPARE(run.fake->boxes.at(0).title, QStringLiteral("Application Error"));
    QCOMPARE(page.List1->count(), 0);
    QCOMPARE(page.List1->currentRow(), -1);
    QVERIFY(page.isEnabled());
    QCOMPARE(page.MousePointer(), app::kPointerDefault);
}

void Form2Test::shouldGoBackAndComeForwardWithTheNewDatabase() {
    Fixture run(QStringLiteral("lab"), chooser::kLabTables);
    run.server.createDatabase(QStringLiteral("other"),
                              {QStringLiteral("CREATE TABLE Chemistry (x int NULL)")});
    pages::Form2& page = pages::form2();
    pages::form1().PushButton3_Click();
    QVERIFY(page.isVisible());
    QVERIFY(!pages::form1().isVisible());
    page.List1->setCurrentRow(1);

    QTest::mouseClick(page.PushButton2, Qt::LeftButton);
    QVERIFY(pages::form1().isVisible());
    QVERIFY(!page.isVisible());
    QCOMPARE(page.List1->count(), 2); // list and selection stay as they were
    QCOMPARE(page.List1->currentRow(), 1);

    pages::form1().Text5->setText(QStringLiteral("other"));
    pages::form1().PushButton3_Click();
    QVERIFY(page.isVisible());
    QVERIFY(!pages::form1().isVisible());
    QCOMPARE(page.List1->count(), 1);
    QCOMPARE(page.List1->item(0)->text(), QStringLiteral("Chemistry"));
    QCOMPARE(page.List1->currentRow(), 0);
    QCOMPARE(run.boxTexts(), QStringList());

    page.close(); // the close box ends the program, other pages loaded or not
    QCOMPARE(run.fake->programEnds, 1);
}

void Form2Test::shouldNotFillTheListTwiceWhenLoadedAgainMidListing() {
    Fixture run(QStringLiteral("lab"), chooser::kLabTables);
    pages::form1().Show();
    // The chooser's first load lists while the connection page is still on screen and
    // clickable; its "Next >" there runs the chooser's load once more.
    bool clicked = false;
    run.fake->onPump = [&] {
        if (std::exchange(clicked, true))
            return;
        pages::form1().PushButton3_Click();
        QVERIFY(!pages::form2().isEnabled());
        QCOMPARE(pages::form2().MousePointer(), app::kPointerHourglass);
    };
    pages::form2().Show();
    QVERIFY(clicked);
    QCOMPARE(pages::form2().List1->count(), 2);
    QCOMPARE(pages::form2().List1->item(1)->text(), QStringLiteral("Physics"));
    QVERIFY(pages::form2().isEnabled());
    QCOMPARE(run.boxTexts(), QStringList());
}

QTEST_MAIN(Form2Test)
#include "tst_form2.moc"
