// The skin engine on its own: which skin files it takes, and what applying does.

#include "app/skinframework.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <stdexcept>

using app::DispatchKind;
namespace skin = app::skin;

namespace {

const QString kSheet = QStringLiteral("QLabel { color: #204080; }\n");

QString writeFile(const QTemporaryDir& dir, const QByteArray& content) {
    const QString path = dir.filePath(QStringLiteral("o.cjs"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(content);
    return path;
}

// An engine with the sheet loaded and the given options set.
void prepare(app::SkinFramework& engine, const QString& path, int options, bool enabled) {
    engine.invoke(skin::kLoadSkin, DispatchKind::Method, {path, QString()});
    engine.invoke(skin::kOptions, DispatchKind::PropertyPut, {options});
    engine.invoke(skin::kEnabled, DispatchKind::PropertyPut, {enabled});
}

} // namespace

class SkinFrameworkTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() { qApp->setStyleSheet(QString()); }

    void shouldJudgeTheSheetOutline_data() {
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<QString>("fault");
        QTest::newRow("rules") << "QWidget { background: #ddd; }\nQLabel{color:red}"
                               << "";
        QTest::newRow("braces in comment") << "/* { */ QLabel { color: red; }"
                                           << "";
        QTest::newRow("braces in string") << "QLabel[text=\"}\"] { color: red; }"
                                          << "";
        QTest::newRow("empty") << ""
                               << "no rules";
        QTest::newRow("comment only") << "/* nothing */"
                                      << "no rules";
        QTest::newRow("unclosed") << "QLabel {\n color: red;"
                                  << "unclosed block at line 1";
        QTest::newRow("extra close") << "QLabel { }\n}"
                                     << "unexpected '}' at line 2";
        QTest::newRow("nested") << "A { B { } }"
                                << "nested block at line 1";
        QTest::newRow("no selector") << "{ color: red; }"
                                     << "block without a selector at line 1";
        QTest::newRow("trailing") << "A { }\ncolor: red;"
                                  << "text after the last block at line 2";
        QTest::newRow("open comment") << "A { }\n/* x"
                                      << "unterminated comment at line 2";
        QTest::newRow("open string") << "A[x=\"y] { }"
                                     << "unterminated string at line 1";
    }
    void shouldJudgeTheSheetOutline() {
        QFETCH(QString, sheet);
        QFETCH(QString, fault);
        QCOMPARE(app::styleSheetFault(sheet), fault);
    }

    void shouldRefuseSkinsItCannotLoad() {
        QTemporaryDir dir;
        app::SkinFramework engine;
        const QString good = writeFile(dir, kSheet.toUtf8());
        const auto load = [&engine](const QString& path, const QString& variant) {
            engine.invoke(skin::kLoadSkin, DispatchKind::Method, {path, variant});
        };
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, load(dir.filePath("missing"), QString()));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, load(good, QStringLiteral("Blue")));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 load(writeFile(dir, "A { x: \xff\xfe; }"), QString()));
        QVERIFY(!engine.isLoaded());

        const QString path = writeFile(dir, kSheet.toUtf8());
        QCOMPARE(engine.invoke(skin::kLoadSkin, DispatchKind::Method, {path, QString()}), true);
        QCOMPARE(engine.loadedSheet(), kSheet);
    }

    void shouldStyleTheHandedWindowOnlyWithWindowScope() {
        QTemporaryDir dir;
        app::SkinFramework engine;
        QLabel window;
        QLabel other;
        prepare(engine, writeFile(dir, kSheet.toUtf8()), skin::kOptionWindowScope, true);

        const QVariant applied =
            engine.invoke(skin::kApplyWindow, DispatchKind::Method, {app::windowHandle(window)});

        QCOMPARE(applied, true);
        QCOMPARE(window.styleSheet(), kSheet);
        QVERIFY(other.styleSheet().isEmpty());
        QVERIFY(qApp->styleSheet().isEmpty());
    }

    void shouldStyleTheApplicationWithoutWindowScope() {
        QTemporaryDir dir;
        app::SkinFramework engine;
        QLabel window;
        prepare(engine, writeFile(dir, kSheet.toUtf8()), 0, true);

        engine.invoke(skin::kApplyWindow, DispatchKind::Method, {app::windowHandle(window)});

        QCOMPARE(qApp->styleSheet(), kSheet);
        QVERIFY(window.styleSheet().isEmpty());
    }

    void shouldApplyNothingWhileDisabled() {
        QTemporaryDir dir;
        app::SkinFramework engine;
        QLabel window;
        prepare(engine, writeFile(dir, kSheet.toUtf8()), skin::kOptionWindowScope, false);

        const QVariant applied =
            engine.invoke(skin::kApplyWindow, DispatchKind::Method, {app::windowHandle(window)});

        QCOMPARE(applied, false);
        QVERIFY(window.styleSheet().isEmpty());
    }

    void shouldFailToApplyWithoutSkinOrWindow() {
        QTemporaryDir dir;
        app::SkinFramework engine;
        QLabel window;
        const auto apply = [&engine](const QVariant& handle) {
            engine.invoke(skin::kApplyWindow, DispatchKind::Method, {handle});
        };
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, apply(app::windowHandle(window)));
        prepare(engine, writeFile(dir, kSheet.toUtf8()), skin::kOptionWindowScope, true);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, apply(QVariant(qint32(0x7ffffff0))));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, apply(QStringLiteral("window")));
    }

    void shouldLoadAndApplyTheSampleSkinCleanly() {
        QTest::failOnWarning(QRegularExpression(QStringLiteral("parse")));
        const QString path = QFINDTESTDATA("../../resources/skins/halvetri-blue.cjs");
        app::SkinFramework engine;
        QLabel window;
        prepare(engine, path, skin::kOptionWindowScope, true);

        engine.invoke(skin::kApplyWindow, DispatchKind::Method, {app::windowHandle(window)});
        window.ensurePolished();

        QVERIFY(window.styleSheet().contains(QStringLiteral("QGroupBox")));

        // A button with the keyboard's focus shows it.
        QWidget page;
        page.setStyleSheet(window.styleSheet());
        auto* first = new QPushButton(QStringLiteral("< Back"), &page);
        auto* second = new QPushButton(QStringLiteral("< Back"), &page);
        first->setGeometry(0, 0, 120, 30);
        second->setGeometry(0, 40, 120, 30);
        page.show();
        QVERIFY(QTest::qWaitForWindowActive(&page));
        first->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(first->hasFocus());
        QVERIFY(first->grab().toImage() != second->grab().toImage());
    }
};

QTEST_MAIN(SkinFrameworkTest)
#include "tst_skinframework.moc"
