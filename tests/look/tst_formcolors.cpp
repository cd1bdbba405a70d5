// The colour routine on widgets laid out like the three pages.

#include "app/lookandfeel.h"
#include "app/page.h"

#include <QCheckBox>
#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

namespace {

class BarePage : public app::Page {
  public:
    void Form_Load() override {}
};

bool hasButtonFace(const QWidget* widget) {
    return widget->property("BackColor").toUInt() == app::kButtonFace &&
           widget->palette().color(QPalette::Window) == app::colourFromCode(app::kButtonFace) &&
           widget->autoFillBackground();
}

bool untouched(const QWidget* widget) {
    return !widget->property("BackColor").isValid();
}

} // namespace

class FormColorsTest : public QObject {
    Q_OBJECT
  private slots:
    void shouldRecolourConnectionFrameAndLabelsButNotFieldsOrButtons() {
        BarePage page;
        auto* frame = new QGroupBox(QStringLiteral("Sybase ASE Database"), &page);
        QList<QLabel*> labels;
        QList<QLineEdit*> texts;
        for (int i = 0; i < 5; ++i) {
            labels << new QLabel(QStringLiteral("Label:"), frame);
            texts << new QLineEdit(frame);
        }
        auto* test = new QPushButton(QStringLiteral("Test Connection"), frame);
        auto* next = new QPushButton(QStringLiteral("Next >"), &page);
        const QColor textBase = texts.front()->palette().color(QPalette::Base);

        app::SetFormColors(page);

        QCOMPARE(page.BackColor(), app::kButtonFace);
        QVERIFY(hasButtonFace(&page));
        QVERIFY(hasButtonFace(frame));
        for (QLabel* label : labels)
            QVERIFY(hasButtonFace(label));
        for (QLineEdit* text : texts) {
            QVERIFY(untouched(text));
            QCOMPARE(text->palette().color(QPalette::Base), textBase);
        }
        QVERIFY(untouched(test));
        QVERIFY(untouched(next));
    }

    void shouldRecolourChooserPromptButNotListLineOrButtons() {
        BarePage page;
        auto* prompt = new QLabel(QStringLiteral(" Which table do you want edit?"), &page);
        auto* list = new QListWidget(&page);
        auto* line = new QFrame(&page);
        line->setFrameShape(QFrame::HLine);
        auto* back = new QPushButton(QStringLiteral("< Back"), &page);
        auto* next = new QPushButton(QStringLiteral("Next >"), &page);

        app::SetFormColors(page);

        QVERIFY(hasButtonFace(&page));
        QVERIFY(hasButtonFace(prompt));
        for (QWidget* kept : QList<QWidget*>{list, list->viewport(), line, back, next})
            QVERIFY2(untouched(kept), qPrintable(kept->metaObject()->className()));
    }

    void shouldKeepEditorNoticeTextRed() {
        BarePage page;
        auto* notice = new QLabel(&page);
        QPalette red = notice->palette();
        red.setColor(QPalette::WindowText, app::colourFromCode(0x000000C0));
        notice->setPalette(red);
        auto* table = new QLabel(QStringLiteral(" Table: "), &page);
        auto* grid = new QTableView(&page);
        auto* back = new QPushButton(QStringLiteral("< Back"), &page);

        app::SetFormColors(page);

        QVERIFY(hasButtonFace(notice));
        QVERIFY(hasButtonFace(table));
        QCOMPARE(notice->palette().color(QPalette::WindowText), QColor(0xC0, 0, 0));
        QVERIFY(untouched(grid));
        QVERIFY(untouched(back));
    }

    void shouldRecolourCheckBoxesAndOptionButtonsInNestedContainers() {
        QWidget form;
        auto* panel = new QWidget(&form);
        auto* check = new QCheckBox(panel);
        auto* option = new QRadioButton(panel);

        app::SetFormColors(form);

        QCOMPARE(form.property("BackColor").toUInt(), app::kButtonFace);
        QVERIFY(untouched(panel));
        QVERIFY(hasButtonFace(check));
        QVERIFY(hasButtonFace(option));
    }

    void shouldLeaveWindowsParentedToThePageAlone() {
        BarePage page;
        auto* dialog = new QDialog(&page);
        auto* dialogLabel = new QLabel(dialog);

        app::SetFormColors(page);

        QVERIFY(untouched(dialog));
        QVERIFY(untouched(dialogLabel));
    }
};

QTEST_MAIN(FormColorsTest)
#include "tst_formcolors.moc"
