#include "app/mainmodule.h"
#include "pages/chooser/form2.h"
#include "pages/connection/form1.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/form3.h"
#include "pages/editor/gridedits.h"
#include "pages/wizard.h"
#include "support/connectionpage.h"
#include "support/fakeplatform.h"
#include "support/tablefixture.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

// The editor page driven by the keyboard alone, as a user would: every edit finished by a
// key, a refused value kept for correction, a typed row never lost without a question.
// Each write is checked over a second connection.
class EditingKeysTest : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void shouldFinishAndCorrectEveryEditFromTheKeyboard();
    void shouldAskBeforeARowThatWasNotAddedIsLost();

  private:
    void openPage(const QString& table);
    pages::DataGrid& grid() { return *pages::form3().DataGrid1; }
    QAbstractItemModel& model() { return *grid().model(); }
    QString shown(int row, int column) { return model().index(row, column).data().toString(); }
    void goTo(int row, int column) { grid().setCurrentIndex(model().index(row, column)); }
    // A key pressed where the keyboard's focus is.
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus);
        QTest::keyClick(focus, Qt::Key(key), modifiers);
    }
    // Typed key by key where the focus is (the first key may open a cell's editor).
    void typeText(const QString& text) {
        for (const QChar c : text)
            QTest::keyClicks(QApplication::focusWidget(), QString(c));
    }
    // The text of the cell's editor open now.
    QString editorText() {
        QWidget* open = editor();
        if (auto* line = qobject_cast<QLineEdit*>(open))
            return line->text();
        if (auto* text = qobject_cast<QPlainTextEdit*>(open))
            return text->toPlainText();
        return {};
    }
    QWidget* editor() {
        for (QWidget* child : grid().viewport()->findChildren<QWidget*>())
            if ((qobject_cast<QLineEdit*>(child) || qobject_cast<QPlainTextEdit*>(child)) &&
                child->isVisible())
                return child;
        return nullptr;
    }
    QString band() {
        QWidget* notice = grid().readOnlyNotice();
        return notice->isVisible() ? notice->toolTip() : QString();
    }

    std::unique_ptr<testing::PlatformGuard> platform_;
    std::unique_ptr<testing::SampleServer> server_;
    QStringList questions_;
    QList<bool> answers_;
};

using testing::valueOf;

void EditingKeysTest::init() {
    platform_ = std::make_unique<testing::PlatformGuard>();
    server_ = std::make_unique<testing::SampleServer>();
    questions_.clear();
    answers_.clear();
}

void EditingKeysTest::cleanup() {
    pages::resetPages();
    server_.reset();
    platform_.reset();
}

void EditingKeysTest::openPage(const QString& table) {
    pages::form1().Load();
    testing::fillConnectionPage(testing::SampleServer::fields(testing::kCatalog));
    pages::Form3& form = pages::form3();
    form.Show();
    grid().setDataSource(testing::openTable(table));
    QVERIFY(grid().readOnlyReason().isEmpty());
    QVERIFY(QTest::qWaitFor([&] { return grid().edits()->newRowLineRow() >= 0; }, 5000));
    grid().edits()->setConfirm([this](QWidget*, const QString& question) {
        questions_ << question;
        return !answers_.isEmpty() && answers_.takeFirst();
    });
    QVERIFY(QTest::qWaitForWindowActive(&form));
    grid().SetFocus();
    QTRY_VERIFY(grid().hasFocus());
}

void EditingKeysTest::shouldFinishAndCorrectEveryEditFromTheKeyboard() {
    server_->createDatabase(
        testing::kCatalog,
        {"CREATE TABLE card (id int NOT NULL PRIMARY KEY, code char(12) NOT NULL, "
         "city varchar(10) NULL, note varchar(200) NULL, due datetime NULL)",
         "INSERT INTO card VALUES (1, 'business', 'Oslo', 'hi', NULL), "
         "(2, 'home', NULL, NULL, NULL)"});
    openPage("card");
    const auto held = [](const QString& column, int id) {
        return valueOf(QStringLiteral("SELECT %1 FROM card WHERE id = %2").arg(column).arg(id));
    };

    // Fixed-width text without its padding: appended to, copied and written as seen.
    goTo(0, 1);
    QCOMPARE(shown(0, 1), QString("business"));
    press(Qt::Key_F2);
    press(Qt::Key_End);
    typeText("X");
    press(Qt::Key_Return);
    QVERIFY(!grid().isEditing());
    QCOMPARE(held("code", 1).trimmed(), QString("businessX"));
    press(Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("businessX\n"));
    // NULL is not offered where the column does not allow it.
    QAction* setNull = grid().setNullAction();
    QVERIFY(!setNull->isVisible() && !setNull->isEnabled());
    press(Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(held("code", 1).trimmed(), QString("businessX"));

    // A value that does not fit: the editor stays with the text as typed and the whole
    // reason beside it, over as many lines as it takes; Esc gives up.
    goTo(0, 2);
    press(Qt::Key_F2);
    press(Qt::Key_A, Qt::ControlModifier);
    typeText("Kristiansand");
    press(Qt::Key_Return);
    QVERIFY(grid().isEditing());
    QVERIFY(editor());
    QCOMPARE(editorText(), QString("Kristiansand"));
    QVERIFY2(band().contains("at most 10 bytes"), qPrintable(band()));
    QVERIFY(platform_->fake().boxes.isEmpty());
    QCOMPARE(held("city", 1), QString("Oslo"));
    pages::form3().resize(300, 500); // narrow: the reason takes several lines
    QWidget* notice = grid().readOnlyNotice();
    QVERIFY2(notice->height() > 2 * notice->fontMetrics().height(),
             qPrintable(QString::number(notice->height())));
    QCOMPARE(notice->height(), notice->heightForWidth(notice->width()));
    // Leaving by the mouse or the keyboard keeps the refused text where it is.
    goTo(1, 2);
    QTRY_COMPARE(grid().currentIndex(), model().index(0, 2));
    QVERIFY(grid().isEditing());
    press(Qt::Key_Escape);
    QVERIFY(!grid().isEditing());
    QCOMPARE(shown(0, 2), QString("Oslo"));
    // Corrected, it is written, and its column widens for it.
    const int narrow = grid().columnWidth(2);
    press(Qt::Key_F2);
    press(Qt::Key_A, Qt::ControlModifier);
    typeText("Kristiansa");
    press(Qt::Key_Return);
    QVERIFY(!grid().isEditing());
    QCOMPARE(held("city", 1), QString("Kristiansa"));
    QVERIFY2(grid().columnWidth(2) > narrow, qPrintable(QString::number(narrow)));
    press(Qt::Key_0, Qt::ControlModifier); // allowed here
    QCOMPARE(held("city", 1), QString("<NULL>"));

    // Any text cell takes a line break: Shift+Enter opens the multi-line editor with it;
    // Enter breaks the line, Tab finishes and moves on.
    goTo(0, 3);
    press(Qt::Key_Return, Qt::ShiftModifier);
    QVERIFY(qobject_cast<QPlainTextEdit*>(editor()));
    QVERIFY2(band().contains("Ctrl+Enter") && band().contains("Tab"), qPrintable(band()));
    typeText("there");
    press(Qt::Key_Return);
    typeText("x");
    press(Qt::Key_Tab);
    QCOMPARE(held("note", 1), QString("hi\nthere\nx"));
    QCOMPARE(grid().currentIndex(), model().index(0, 4));
    press(Qt::Key_Escape);
    // From a line editor, at the cursor; Ctrl+Enter finishes.
    goTo(1, 3);
    press(Qt::Key_F2);
    typeText("ab");
    press(Qt::Key_Left);
    press(Qt::Key_Return, Qt::ShiftModifier);
    QTRY_VERIFY(qobject_cast<QPlainTextEdit*>(editor()));
    typeText("c");
    press(Qt::Key_Return, Qt::ControlModifier);
    QVERIFY(!grid().isEditing());
    QCOMPARE(held("note", 2), QString("a\ncb"));
    // Shift+Tab finishes too, backwards.
    press(Qt::Key_F2);
    press(Qt::Key_End, Qt::ControlModifier);
    typeText("!");
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(held("note", 2), QString("a\ncb!"));
    QCOMPARE(grid().currentIndex(), model().index(1, 2));
    press(Qt::Key_Escape);

    // Dates as a user writes them, each read one way only; a refusal names the form.
    const auto typeDate = [&](const QString& text) {
        goTo(1, 4);
        press(Qt::Key_F2);
        press(Qt::Key_A, Qt::ControlModifier);
        typeText(text);
        press(Qt::Key_Return);
    };
    for (const auto& [typed, stored] : {std::pair{"2024-3-5", "2024-03-05 00:00"},
                                        std::pair{"2024-12-31T13:45:00", "2024-12-31 13:45"},
                                        std::pair{"2024-12-31 9:05", "2024-12-31 09:05"}}) {
        typeDate(typed);
        QVERIFY2(!grid().isEditing(), typed);
        QVERIFY2(held("due", 2).startsWith(stored), qPrintable(held("due", 2)));
    }
    typeDate("12/31/2024");
    QVERIFY(grid().isEditing());
    QVERIFY2(band().contains("2024-12-31 13:45"), qPrintable(band()));
    press(Qt::Key_Escape);
    QVERIFY(held("due", 2).startsWith("2024-12-31 09:05"));

    // Ctrl+Tab leaves the grid for the page's button, Ctrl+Shift+Tab comes back.
    press(Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget(), pages::form3().PushButton1);
    press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), &grid());
    press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), pages::form3().PushButton1);
    QVERIFY(platform_->fake().boxes.isEmpty());
}

void EditingKeysTest::shouldAskBeforeARowThatWasNotAddedIsLost() {
    server_->createDatabase(testing::kCatalog,
                            {"CREATE TABLE part (code varchar(5) NOT NULL PRIMARY KEY, "
                             "qty int NOT NULL, pic varbinary(8) NULL, stamp timestamp)",
                             "INSERT INTO part (code, qty) VALUES ('pen', 1)"});
    openPage("part");
    pages::Form3& form = pages::form3();
    const int line = grid().edits()->newRowLineRow();
    QCOMPARE(shown(line, 3), QString("(filled by the server)"));
    QVERIFY(shown(line, 2) != QString("(filled by the server)"));

    // A row missing a needed value is refused before it is sent, naming the column.
    press(Qt::Key_Insert);
    QCOMPARE(grid().currentIndex(), model().index(line, 0));
    typeText("cap");
    press(Qt::Key_Return);
    press(Qt::Key_Up);
    QVERIFY2(band().contains("qty needs a value"), qPrintable(band()));
    QCOMPARE(valueOf("SELECT count(*) FROM part"), QString("1"));
    QCOMPARE(shown(line, 0), QString("cap"));

    // "< Back" from the keyboard asks; the safe answer stays on the page with the row.
    press(Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget(), form.PushButton1);
    press(Qt::Key_Space);
    QCOMPARE(questions_.size(), 1);
    QVERIFY2(questions_[0].contains("Discard"), qPrintable(questions_[0]));
    QVERIFY(form.isVisible());
    QCOMPARE(shown(line, 0), QString("cap"));
    // So does closing the window.
    QVERIFY(!form.close());
    QCOMPARE(questions_.size(), 2);
    QVERIFY(form.isVisible());
    QCOMPARE(platform_->fake().programEnds, 0);
    // And Esc on the line.
    press(Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(QApplication::focusWidget(), &grid());
    goTo(line, 1);
    press(Qt::Key_Escape);
    QCOMPARE(questions_.size(), 3);
    QCOMPARE(shown(line, 0), QString("cap"));
    answers_ << true;
    press(Qt::Key_Escape);
    QCOMPARE(questions_.size(), 4);
    QCOMPARE(shown(line, 0), QString("(needs a value)"));

    // Typed whole, it is added as the page is left, without a question.
    goTo(line, 0);
    typeText("nib");
    press(Qt::Key_Tab);
    typeText("4");
    press(Qt::Key_Return);
    form.PushButton1->click();
    QCOMPARE(questions_.size(), 4); // none more
    QVERIFY(form.isHidden());
    QCOMPARE(valueOf("SELECT qty FROM part WHERE code = 'nib'"), QString("4"));
}

QTEST_MAIN(EditingKeysTest)
#include "tst_editingkeys.moc"
