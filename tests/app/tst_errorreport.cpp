#include "app/errorreport.h"
#include "app/mainmodule.h"
#include "db/odbc/dberror.h"
#include "support/fakeplatform.h"

#include <QTest>

class ErrorReportTest : public QObject {
    Q_OBJECT
  private slots:
    void shouldBuildTheExactText();
    void shouldStartWithCrLfWhenDescriptionIsEmpty();
    void shouldShowOneWarningBoxPerFailureInStatementOrder();
    void shouldRunGuardedActionAfterFailedConditionAndReportItsFailureToo();
    void shouldReportRoutineFailureAtTheCallingStatement();
    void shouldEndNormallyAfterFailureInLastStatement();
};

namespace {
const QString kLocation = QStringLiteral("in Quorvane2021/08/31.Form3.Form_Resize ");
QString request() {
    return QStringLiteral("Please email screenshot of this message to ") +
           app::supportEmailAddress();
}
void failingRoutine(QStringList& ran) {
    ran << QStringLiteral("routine");
    throw db::DbError(QStringLiteral("inner"));
}
} // namespace

void ErrorReportTest::shouldBuildTheExactText() {
    QCOMPARE(app::locationText(QStringLiteral("Form3"), QStringLiteral("Form_Resize")), kLocation);
    const QByteArray text =
        app::applicationErrorText(kLocation, 108, QStringLiteral("Grid \u00e9chou\u00e9")).toUtf8();
    QCOMPARE(text, QByteArray("Grid \xc3\xa9\x63hou\xc3\xa9\r\n"
                              "in Quorvane2021/08/31.Form3.Form_Resize at line 108\r\r") +
                       request().toUtf8());
    QVERIFY(app::supportEmailAddress().contains(QLatin1Char('@')));
}

void ErrorReportTest::shouldStartWithCrLfWhenDescriptionIsEmpty() {
    const QString text = app::applicationErrorText(kLocation, 100, QString());
    QVERIFY(text.startsWith(QStringLiteral("\r\nin Quorvane2021")));
}

void ErrorReportTest::shouldShowOneWarningBoxPerFailureInStatementOrder() {
    testing::PlatformGuard guard;
    auto h = app::guardedHandler(QStringLiteral("Form1"), QStringLiteral("PushButton6_Click"));
    QStringList ran;
    h.step(100, [&] { throw db::DbError(QStringLiteral("first")); });
    h.step(102, [&] { ran << QStringLiteral("102"); });
    h.step(104, [&] { throw std::runtime_error("second"); });
    h.step(106, [&] { ran << QStringLiteral("106"); });

    QCOMPARE(ran, QStringList({"102", "106"}));
    const auto& boxes = guard.fake().boxes;
    QCOMPARE(boxes.size(), 2);
    const QString location = QStringLiteral("in Quorvane2021/08/31.Form1.PushButton6_Click ");
    QCOMPARE(boxes[0].text, app::applicationErrorText(location, 100, QStringLiteral("first")));
    QCOMPARE(boxes[1].text, app::applicationErrorText(location, 104, QStringLiteral("second")));
    for (const auto& box : boxes) {
        QCOMPARE(box.style, 48);
        QCOMPARE(box.title, QStringLiteral("Application Error"));
    }
}

void ErrorReportTest::shouldRunGuardedActionAfterFailedConditionAndReportItsFailureToo() {
    testing::PlatformGuard guard;
    auto h = app::guardedHandler(QStringLiteral("Form1"), QStringLiteral("Form_Load"));
    if (h.cond(138, []() -> bool { throw db::DbError(QStringLiteral("no object")); }))
        h.step(138, [] { throw db::DbError(QStringLiteral("action")); });
    const auto& boxes = guard.fake().boxes;
    QCOMPARE(boxes.size(), 2);
    QVERIFY(boxes[0].text.startsWith(QStringLiteral("no object\r\n")));
    QVERIFY(boxes[0].text.contains(QStringLiteral("Form1.Form_Load at line 138\r\r")));
    QVERIFY(boxes[1].text.startsWith(QStringLiteral("action\r\n")));
    QVERIFY(boxes[1].text.contains(QStringLiteral("Form1.Form_Load at line 138\r\r")));
}

void ErrorReportTest::shouldReportRoutineFailureAtTheCallingStatement() {
    testing::PlatformGuard guard;
    auto h = app::guardedHandler(QStringLiteral("Form3"), QStringLiteral("Form_Load"));
    QStringList ran;
    h.step(100, [&] {
        failingRoutine(ran);
        ran << QStringLiteral("after routine");
    });
    h.step(102, [&] { ran << QStringLiteral("102"); });
    QCOMPARE(ran, QStringList({"routine", "102"}));
    QCOMPARE(guard.fake().boxes.size(), 1);
    QCOMPARE(guard.fake().boxes[0].text,
             app::applicationErrorText(QStringLiteral("in Quorvane2021/08/31.Form3.Form_Load "),
                                       100, QStringLiteral("inner")));
}

void ErrorReportTest::shouldEndNormallyAfterFailureInLastStatement() {
    testing::PlatformGuard guard;
    bool returned = false;
    [&] {
        auto h = app::guardedHandler(QStringLiteral("Form1"), QStringLiteral("PushButton3_Click"));
        h.step(100, [] {});
        h.step(106, [] { throw 42; });
        returned = true;
    }();
    QVERIFY(returned);
    QCOMPARE(guard.fake().boxes.size(), 1);
    QVERIFY(guard.fake().boxes[0].text.contains(QStringLiteral("at line 106\r\r")));
}

QTEST_MAIN(ErrorReportTest)
#include "tst_errorreport.moc"
