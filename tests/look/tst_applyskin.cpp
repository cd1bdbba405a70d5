// The skin at start-up: when the skin file is found, which colours change, and the exact
// calls the engine receives.

#include "app/lookandfeel.h"
#include "app/page.h"
#include "app/skinframework.h"
#include "support/fakeplatform.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <optional>
#include <stdexcept>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using app::DispatchKind;

namespace {

const QString kSkin = QStringLiteral("QWidget#Form1 { border: 2px solid #3060a0; }\n");

class BarePage : public app::Page {
  public:
    void Form_Load() override {}
};

struct Call {
    int id;
    DispatchKind kind;
    QVariantList args;
};

// The real engine, with every call written down; it can answer the option flags itself
// and fail at a chosen call.
class RecordingEngine : public app::SkinFramework {
  public:
    explicit RecordingEngine(QObject* page) : SkinFramework(page) {
        setObjectName(QStringLiteral("SkinFramework1"));
    }
    QVariant invoke(int id, DispatchKind kind, const QVariantList& args) override {
        calls.append({id, kind, args});
        if (failAt == calls.size())
            throw std::runtime_error("engine failure");
        if (flagsAnswer && id == app::skin::kOptions && kind == DispatchKind::PropertyGet)
            return *flagsAnswer;
        return SkinFramework::invoke(id, kind, args);
    }
    QList<Call> calls;
    std::optional<QVariant> flagsAnswer;
    qsizetype failAt = 0;
};

// The connection page's controls: a frame with five labels, five text boxes and two
// buttons, and a button below it.
struct ConnectionPage {
    ConnectionPage() {
        page.setObjectName(QStringLiteral("Form1"));
        frame = new QGroupBox(QStringLiteral("Sybase ASE Database"), &page);
        for (int i = 0; i < 5; ++i) {
            labels << new QLabel(frame);
            texts << new QLineEdit(frame);
        }
        buttons << new QPushButton(frame) << new QPushButton(frame) << new QPushButton(&page);
        engine = new RecordingEngine(&page);
    }
    bool recoloured() const {
        bool all = page.BackColor() == app::kButtonFace &&
                   frame->property("BackColor").toUInt() == app::kButtonFace;
        for (QLabel* label : labels)
            all = all && label->property("BackColor").toUInt() == app::kButtonFace;
        return all && othersUntouched();
    }
    bool untouched() const {
        bool none = page.BackColor() == app::kWhite && !frame->property("BackColor").isValid();
        for (QLabel* label : labels)
            none = none && !label->property("BackColor").isValid();
        return none && othersUntouched();
    }
    bool othersUntouched() const {
        for (QWidget* other : texts + QList<QWidget*>(buttons.begin(), buttons.end()))
            if (other->property("BackColor").isValid())
                return false;
        return true;
    }

    BarePage page;
    QGroupBox* frame;
    QList<QLabel*> labels;
    QList<QWidget*> texts;
    QList<QPushButton*> buttons;
    RecordingEngine* engine;
};

QString skinPath(const testing::FakePlatform& fake) {
    return QDir::toNativeSeparators(fake.folder + QStringLiteral("/x/o.cjs"));
}

void writeSkin(const testing::FakePlatform& fake, const QByteArray& content) {
    QDir().mkpath(fake.folder + QStringLiteral("/x"));
    QFile file(skinPath(fake));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

class ApplySkinTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() { qApp->setStyleSheet(QString()); }

    void shouldMakeNoCallAndKeepWhiteWithoutSkinFile() {
        testing::PlatformGuard guard;
        ConnectionPage form;
        QDir().mkpath(guard.fake().folder + QStringLiteral("/x"));

        app::ApplySkin(form.page);

        QVERIFY(form.engine->calls.isEmpty());
        QVERIFY(form.untouched());
        QVERIFY(form.page.styleSheet().isEmpty());
    }

    void shouldRecolourThenDriveTheEngineInOrder() {
        testing::PlatformGuard guard;
        writeSkin(guard.fake(), kSkin.toUtf8());
        ConnectionPage form;
        form.engine->flagsAnswer = QVariant(6);

        app::ApplySkin(form.page);

        QVERIFY(form.recoloured());
        const QList<Call>& calls = form.engine->calls;
        QCOMPARE(calls.size(), 6);
        QCOMPARE(calls[0].id, 2);
        QCOMPARE(calls[0].kind, DispatchKind::Method);
        QCOMPARE(calls[0].args, (QVariantList{skinPath(guard.fake()), QString()}));
        QCOMPARE(calls[0].args[1].typeId(), QMetaType::QString);
        QCOMPARE(calls[1].id, 1);
        QCOMPARE(calls[1].kind, DispatchKind::PropertyGet);
        QVERIFY(calls[1].args.isEmpty());
        QCOMPARE(calls[2].id, 1);
        QCOMPARE(calls[2].kind, DispatchKind::PropertyPut);
        QCOMPARE(calls[2].args, QVariantList{QVariant(qint32(7))});
        QCOMPARE(calls[2].args[0].typeId(), QMetaType::Int);
        QCOMPARE(calls[3].id, 5);
        QCOMPARE(calls[3].kind, DispatchKind::PropertyPut);
        QCOMPARE(calls[3].args, QVariantList{QVariant(true)});
        QCOMPARE(calls[4].id, 10);
        QCOMPARE(calls[4].kind, DispatchKind::PropertyPut);
        QCOMPARE(calls[4].args, QVariantList{QVariant(true)});
        QCOMPARE(calls[5].id, 3);
        QCOMPARE(calls[5].kind, DispatchKind::Method);
        QCOMPARE(calls[5].args, QVariantList{QVariant(qint32(form.page.winId()))});
        QCOMPARE(calls[5].args[0].typeId(), QMetaType::Int);
    }

    void shouldStyleOnlyTheConnectionPage() {
        testing::PlatformGuard guard;
        writeSkin(guard.fake(), kSkin.toUtf8());
        ConnectionPage form;
        BarePage chooser;

        app::ApplySkin(form.page);

        QCOMPARE(form.page.styleSheet(), kSkin);
        QVERIFY(chooser.styleSheet().isEmpty());
        QVERIFY(qApp->styleSheet().isEmpty());
    }

    void shouldKeepTheOtherOptionFlags_data() {
        QTest::addColumn<QVariant>("read");
        QTest::addColumn<int>("written");
        QTest::newRow("zero") << QVariant(0) << 1;
        QTest::newRow("already set") << QVariant(1) << 1;
        QTest::newRow("other bits") << QVariant(0x50) << 0x51;
        QTest::newRow("negative") << QVariant(-2) << -1;
        QTest::newRow("text number") << QVariant(QStringLiteral("4")) << 5;
    }
    void shouldKeepTheOtherOptionFlags() {
        QFETCH(QVariant, read);
        QFETCH(int, written);
        testing::PlatformGuard guard;
        writeSkin(guard.fake(), kSkin.toUtf8());
        ConnectionPage form;
        form.engine->flagsAnswer = read;

        app::ApplySkin(form.page);

        QCOMPARE(form.engine->calls.at(2).args, QVariantList{QVariant(qint32(written))});
    }

    void shouldMakeItsOwnEngineWhenThePageHasNone() {
        testing::PlatformGuard guard;
        writeSkin(guard.fake(), kSkin.toUtf8());
        BarePage page;

        app::ApplySkin(page);

        auto* engine = page.findChild<app::SkinFramework*>(QStringLiteral("SkinFramework1"));
        QVERIFY(engine);
        QCOMPARE(engine->options() & 1, 1);
        QCOMPARE(page.styleSheet(), kSkin);
    }

    void shouldTreatEntriesThatAreNoNormalFileAsMissing_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder") << QStringLiteral("folder");
        QTest::newRow("dangling link") << QStringLiteral("link");
#ifdef Q_OS_WIN
        QTest::newRow("hidden") << QStringLiteral("hidden");
        QTest::newRow("system") << QStringLiteral("system");
#endif
    }
    void shouldTreatEntriesThatAreNoNormalFileAsMissing() {
        QFETCH(QString, kind);
        testing::PlatformGuard guard;
        const QString path = skinPath(guard.fake());
        QDir().mkpath(guard.fake().folder + QStringLiteral("/x"));
        if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(path));
        } else if (kind == QLatin1String("link")) {
            QVERIFY(QFile::link(guard.fake().folder + QStringLiteral("/nowhere"), path));
        } else {
            writeSkin(guard.fake(), kSkin.toUtf8());
            markFile(path, kind);
        }
        ConnectionPage form;

        app::ApplySkin(form.page);

        QVERIFY(form.engine->calls.isEmpty());
        QVERIFY(form.untouched());
    }

    void shouldFailOnMalformedSkinAndKeepTheColours_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("unclosed block") << QByteArray("QWidget { background: red;\n");
        QTest::newRow("no rules") << QByteArray("just some words\n");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1a\n\0\0", 10);
    }
    void shouldFailOnMalformedSkinAndKeepTheColours() {
        QFETCH(QByteArray, content);
        testing::PlatformGuard guard;
        writeSkin(guard.fake(), content);
        ConnectionPage form;

        QVERIFY_THROWS_EXCEPTION(std::runtime_error, app::ApplySkin(form.page));

        QVERIFY(form.recoloured());
        QCOMPARE(form.engine->calls.size(), 1);
        QVERIFY(form.page.styleSheet().isEmpty());
    }

    void shouldMakeNoLaterCallAfterAFailingOne() {
        testing::PlatformGuard guard;
        writeSkin(guard.fake(), kSkin.toUtf8());
        ConnectionPage form;
        form.engine->failAt = 4; // the first Boolean option

        QVERIFY_THROWS_EXCEPTION(std::runtime_error, app::ApplySkin(form.page));

        QCOMPARE(form.engine->calls.size(), 4);
        QVERIFY(form.recoloured());
        QVERIFY(form.page.styleSheet().isEmpty());
    }

  private:
    static void markFile(const QString& path, const QString& kind) {
#ifdef Q_OS_WIN
        const DWORD flag =
            kind == QLatin1String("hidden") ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_SYSTEM;
        QVERIFY(SetFileAttributesW(reinterpret_cast<LPCWSTR>(path.utf16()), flag));
#else
        Q_UNUSED(path);
        QFAIL(qPrintable(kind));
#endif
    }
};

QTEST_MAIN(ApplySkinTest)
#include "tst_applyskin.moc"
