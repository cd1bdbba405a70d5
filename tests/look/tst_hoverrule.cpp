// The hover rule on a window laid out like the connection page: the pointer moves through
// the window system, over controls with and without a rule.

#include "app/lookandfeel.h"
#include "app/page.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/form3.h"
#include "pages/wizard.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTest>

namespace {

class BarePage : public app::Page {
  public:
    void Form_Load() override {}
};

// Background, a frame holding a label, a text box and a button, a list and a second button
// below the frame, with the rules the pages give them.
struct HoverPage {
    HoverPage() {
        page.resize(400, 300);
        frame = new QGroupBox(QStringLiteral("Frame"), &page);
        frame->setGeometry(10, 10, 380, 150);
        label = new QLabel(QStringLiteral("Server:"), frame);
        label->setGeometry(10, 30, 80, 20);
        text = new QLineEdit(frame);
        text->setGeometry(100, 30, 200, 24);
        frameButton = new QPushButton(QStringLiteral("Test Connection"), frame);
        frameButton->setGeometry(10, 100, 180, 30);
        list = new QListWidget(&page);
        list->setGeometry(10, 170, 180, 80);
        button = new QPushButton(QStringLiteral("Next >"), &page);
        button->setGeometry(200, 200, 180, 30);

        app::installHoverRule(page, &page, app::kPointerDefault);
        app::installHoverRule(page, frame, app::kPointerDefault);
        app::installHoverRule(page, text, app::kPointerDefault);
        app::installHoverRule(page, list, app::kPointerDefault);
        app::installHoverRule(page, frameButton, app::kPointerCustom);
        app::installHoverRule(page, button, app::kPointerCustom);
        page.show();
    }

    // Waits for the window, then puts the pointer on its background. (Two moves: a move to
    // where the pointer already is, left there by an earlier test, is no move.)
    bool ready() {
        if (!QTest::qWaitForWindowExposed(&page))
            return false;
        moveTo(QPoint(1, 1));
        moveTo(QPoint(2, 2));
        return page.MousePointer() == app::kPointerDefault;
    }

    // Moves the pointer to the middle of `widget` (or to a point of the window).
    void moveOver(QWidget* widget) { moveTo(widget->mapTo(&page, widget->rect().center())); }
    void moveTo(QPoint point) { QTest::mouseMove(page.windowHandle(), point); }

    BarePage page;
    QGroupBox* frame;
    QLabel* label;
    QLineEdit* text;
    QPushButton* frameButton;
    QListWidget* list;
    QPushButton* button;
};

const QPoint kBackground(395, 295);
const QPoint kEmptyFramePart(350, 120);

} // namespace

class HoverRuleTest : public QObject {
    Q_OBJECT
  private slots:
    void shouldShowHandOverButtonsAndDefaultElsewhere() {
        HoverPage form;
        QVERIFY(form.ready());

        form.moveOver(form.button);
        QCOMPARE(form.page.MousePointer(), app::kPointerCustom);
        form.moveOver(form.text);
        QCOMPARE(form.page.MousePointer(), app::kPointerDefault);
        form.moveOver(form.frameButton);
        QCOMPARE(form.page.MousePointer(), app::kPointerCustom);
        form.moveTo(kBackground);
        QCOMPARE(form.page.MousePointer(), app::kPointerDefault);
        form.moveOver(form.button);
        form.moveOver(form.list);
        QCOMPARE(form.page.MousePointer(), app::kPointerDefault);
    }

    void shouldKeepHandFromButtonOntoFrameLabelUntilTheFrame() {
        HoverPage form;
        QVERIFY(form.ready());

        form.moveOver(form.frameButton);
        form.moveOver(form.label);
        QCOMPARE(form.page.MousePointer(), app::kPointerCustom);
        form.moveTo(kEmptyFramePart);
        QCOMPARE(form.page.MousePointer(), app::kPointerDefault);
    }

    void shouldNeverReplaceTheHourglass() {
        HoverPage form;
        QVERIFY(form.ready());
        form.page.setMousePointer(app::kPointerHourglass);

        for (QWidget* over : QList<QWidget*>{form.button, form.text, form.list, form.frame})
            form.moveOver(over);
        form.moveTo(kBackground);

        QCOMPARE(form.page.MousePointer(), app::kPointerHourglass);
        QCOMPARE(form.page.cursor().shape(), Qt::WaitCursor);
        form.page.setMousePointer(app::kPointerDefault);
        form.moveOver(form.button);
        QCOMPARE(form.page.MousePointer(), app::kPointerCustom);
    }

    void shouldShowPointingHandWithoutImageAndTheImageWithOne() {
        HoverPage form;
        QVERIFY(form.ready());

        form.moveOver(form.button);
        QCOMPARE(form.page.cursor().shape(), Qt::PointingHandCursor);

        QPixmap hand(32, 32);
        hand.fill(Qt::darkBlue);
        form.page.setMouseIcon(QCursor(hand, 3, 4));
        form.moveTo(kBackground);
        QCOMPARE(form.page.cursor().shape(), Qt::ArrowCursor);
        form.moveOver(form.button);
        QCOMPARE(form.page.cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(form.page.cursor().hotSpot(), QPoint(3, 4));
    }

    // The editor's grid is its cells, its column header and row selector, the corner
    // between them and its scroll bars: from "< Back" onto any of them the hand goes.
    void shouldCountEveryPartOfTheGridAsTheGrid() {
        pages::Form3& editor = pages::form3();
        QStandardItemModel rows(40, 12);
        editor.DataGrid1->setModel(&rows);
        editor.Show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        pages::DataGrid* grid = editor.DataGrid1;
        QWidget* corner = grid->findChild<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly);
        QVERIFY(corner);
        const auto moveOver = [&](QWidget* part) {
            QTest::mouseMove(editor.windowHandle(), part->mapTo(&editor, part->rect().center()));
        };
        const QList<QWidget*> parts = {grid->horizontalHeader(), grid->verticalHeader(), corner,
                                       grid->verticalScrollBar(), grid->viewport()};
        for (QWidget* part : parts) {
            QVERIFY2(part->isVisible(), part->metaObject()->className());
            moveOver(editor.PushButton1);
            QCOMPARE(editor.MousePointer(), app::kPointerCustom);
            moveOver(part);
            QVERIFY2(editor.MousePointer() == app::kPointerDefault,
                     part->metaObject()->className());
        }
        // The header keeps its own resize pointer between two columns.
        const QHeaderView* header = grid->horizontalHeader();
        const QPoint boundary(header->sectionViewportPosition(1), header->height() / 2);
        QTest::mouseMove(editor.windowHandle(), header->viewport()->mapTo(&editor, boundary));
        QCOMPARE(header->viewport()->cursor().shape(), Qt::SplitHCursor);
        editor.DataGrid1->setModel(nullptr);
        pages::resetPages();
    }

    void shouldLeaveTheButtonsOwnPointerAlone() {
        HoverPage form;
        QVERIFY(form.ready());

        form.moveOver(form.button);

        QVERIFY(!form.button->testAttribute(Qt::WA_SetCursor));
        QVERIFY(!form.frame->testAttribute(Qt::WA_SetCursor));
    }
};

QTEST_MAIN(HoverRuleTest)
#include "tst_hoverrule.moc"
