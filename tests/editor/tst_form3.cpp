#include "app/errorreport.h"
#include "app/lookandfeel.h"
#include "app/mainmodule.h"
#include "app/page.h"
#include "pages/chooser/form2.h"
#include "pages/connection/form1.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/form3.h"
#include "pages/wizard.h"
#include "support/connectionpage.h"
#include "support/fakeplatform.h"
#include "support/tablefixture.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>

// The editor page: its layout, its load, the resize rule, and leaving it.
class Form3Test : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void shouldLayOutTheDesignedControls();
    void shouldLoadWithCaptionIconAndTheOptionalPointerImage();
    void shouldFollowTheOuterSizeByItsThresholds();
    void shouldLeaveEverythingWhereItWasWhileMinimized();
    void shouldCommitAnOpenEditOnBackAndOnClose();
    void shouldReopenAsLargeAndWhereItWasLeft();

  private:
    void resizeOuter(pages::Form3& form, int width, int height);
    std::unique_ptr<testing::PlatformGuard> platform_;
};

void Form3Test::init() {
    platform_ = std::make_unique<testing::PlatformGuard>();
}

void Form3Test::cleanup() {
    pages::resetPages();
    platform_.reset();
}

// Sizes the window so that its outer size (frame included) is width x height pixels.
void Form3Test::resizeOuter(pages::Form3& form, int width, int height) {
    const QSize frame = form.frameGeometry().size() - form.geometry().size();
    form.resize(width - frame.width(), height - frame.height());
    QCOMPARE(form.frameGeometry().size(), QSize(width, height));
}

void Form3Test::shouldLayOutTheDesignedControls() {
    pages::Form3 form;
    QCOMPARE(form.size(), QSize(app::twips(5880), app::twips(2790)));
    QCOMPARE(form.DataGrid1->objectName(), QString("DataGrid1"));
    QCOMPARE(form.DataGrid1->geometry(), app::twipsRect(120, 480, 5640, 1360));
    QCOMPARE(form.Label2->text(), QString(" Table: "));
    QCOMPARE(form.Label2->geometry(), app::twipsRect(240, 120, 5175, 255));
    QCOMPARE(form.Label1->text(),
             QString(" Changes you make are automatically saved as you make them."));
    QCOMPARE(form.Label1->geometry(), app::twipsRect(120, 1920, 5535, 255));
    QCOMPARE(form.Label1->palette().color(QPalette::WindowText), QColor(0xC0, 0, 0));
    QCOMPARE(form.PushButton1->text(), QString("< Back"));
    QCOMPARE(form.PushButton1->geometry(), app::twipsRect(120, 2280, 5655, 405));
    QCOMPARE(form.PushButton1->font().pointSizeF(), 11.25);
    QVERIFY(form.PushButton1->font().bold());
    QCOMPARE(form.DataGrid1->font().family(), QString("Arial"));
    QCOMPARE(form.font().pointSizeF(), 9.0);
    QVERIFY(!form.isLoaded());
}

void Form3Test::shouldLoadWithCaptionIconAndTheOptionalPointerImage() {
    pages::Form3 form;
    form.Load();
    QCOMPARE(form.windowTitle(), QString("Quorvane Software"));
    QVERIFY(!form.windowIcon().isNull());
    QVERIFY(!form.MouseIcon().has_value());
    QCOMPARE(form.BackColor(), app::kButtonFace);
    QVERIFY(platform_->fake().boxes.isEmpty());

    // A pointer file that cannot be read is reported at 108; the load goes on.
    QFile bad(app::handCursorPath());
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("not a cursor");
    bad.close();
    pages::Form3 second;
    second.Load();
    QCOMPARE(platform_->fake().boxes.size(), 1);
    QVERIFY(platform_->fake().boxes.first().text.contains(app::locationText("Form3", "Form_Load") +
                                                          "at line 108"));
    QCOMPARE(second.windowTitle(), QString("Quorvane Software"));
}

void Form3Test::shouldFollowTheOuterSizeByItsThresholds() {
    pages::Form3 form;
    form.Show();
    const QRect grid = form.DataGrid1->geometry();

    resizeOuter(form, 500, 300); // 7500 x 4500 twips
    QCOMPARE(form.DataGrid1->geometry(),
             QRect(grid.topLeft(), QSize(app::twips(7000), app::twips(2530))));
    QCOMPARE(form.Label1->pos(), QPoint(app::twips(120), app::twips(3080)));
    QCOMPARE(form.PushButton1->pos(), QPoint(app::twips(120), app::twips(3430)));
    QCOMPARE(form.Label1->width(), app::twips(5535));

    // 1500 twips high: the notice and the button move, the grid keeps its height; 495
    // twips wide (not above 500): the grid keeps its width.
    resizeOuter(form, 33, 100);
    QCOMPARE(form.DataGrid1->size(), QSize(app::twips(7000), app::twips(2530)));
    QCOMPARE(form.Label1->y(), app::twips(80));
    QCOMPARE(form.PushButton1->y(), app::twips(430));

    // 1065 twips: nothing moves at all.
    resizeOuter(form, 34, 71);
    QCOMPARE(form.DataGrid1->width(), app::twips(10));
    QCOMPARE(form.Label1->y(), app::twips(80));
    QCOMPARE(form.PushButton1->y(), app::twips(430));
}

void Form3Test::shouldLeaveEverythingWhereItWasWhileMinimized() {
    pages::Form3 form;
    form.Show();
    resizeOuter(form, 500, 300);
    const QRect grid = form.DataGrid1->geometry();
    const QPoint notice = form.Label1->pos();
    form.showMinimized();
    QVERIFY(form.isMinimized());
    form.resize(700, 500);
    QCOMPARE(form.DataGrid1->geometry(), grid);
    QCOMPARE(form.Label1->pos(), notice);

    form.showNormal();
    const int outerHeight = form.frameGeometry().height();
    QCOMPARE(form.PushButton1->y(), app::twips(outerHeight * 15 - 1070));
    QVERIFY(form.DataGrid1->height() != grid.height());
}

void Form3Test::shouldCommitAnOpenEditOnBackAndOnClose() {
    testing::SampleServer server;
    server.createDatabase(testing::kCatalog,
                          {"CREATE TABLE t (id int NOT NULL PRIMARY KEY, name varchar(255) NULL)",
                           "INSERT INTO t VALUES (1, 'a'), (2, 'b')"});
    pages::form1().Load();
    testing::fillConnectionPage(testing::SampleServer::fields(testing::kCatalog));
    pages::Form3& form = pages::form3();
    form.Show();
    form.DataGrid1->setDataSource(testing::openTable("t"));

    const auto typeInto = [&](int row, const QString& text) {
        const QModelIndex index = form.DataGrid1->model()->index(row, 1);
        form.DataGrid1->setCurrentIndex(index);
        form.DataGrid1->edit(index);
        for (QLineEdit* editor : form.DataGrid1->viewport()->findChildren<QLineEdit*>())
            if (!editor->isHidden()) {
                editor->selectAll();
                QTest::keyClicks(editor, text);
            }
        QVERIFY(form.DataGrid1->isEditing());
    };
    typeInto(0, "ink");
    form.PushButton1_Click();
    QCOMPARE(testing::valueOf("SELECT name FROM t WHERE id = 1"), QString("ink"));
    QVERIFY(form.isHidden());
    QVERIFY(pages::form2().isVisible());

    form.Show();
    typeInto(1, "nib");
    form.close();
    QCOMPARE(testing::valueOf("SELECT name FROM t WHERE id = 2"), QString("nib"));
    QCOMPARE(platform_->fake().programEnds, 1);
}

void Form3Test::shouldReopenAsLargeAndWhereItWasLeft() {
    {
        pages::Form3 form;
        form.Show();
        form.resize(640, 420);
        form.move(40, 30);
        QTRY_COMPARE(form.pos(), QPoint(40, 30));
        form.Hide();
    }
    pages::Form3 again;
    again.Show();
    QCOMPARE(again.size(), QSize(640, 420));
    QCOMPARE(again.pos(), QPoint(40, 30));
    // The layout follows the size it reopened at.
    QCOMPARE(again.PushButton1->y(), app::twips(again.frameGeometry().height() * 15 - 1070));
    // Kept with the view's settings, not with the five connection values.
    QVERIFY(QSettings(platform_->fake().settingsDir + "/Halvetri.ini", QSettings::IniFormat)
                .allKeys()
                .isEmpty());
}

QTEST_MAIN(Form3Test)
#include "tst_form3.moc"
