#include "db/connect/handler.h"
#include "db/odbc/dberror.h"

#include <QTest>

class HandlerTest : public QObject {
    Q_OBJECT
  private slots:
    void shouldReportEachFailedStepAndGoOn();
    void shouldRunGuardedActionWhenConditionFails();
    void shouldLeaveLoopWhenConditionFails();
};

namespace {
struct Reports {
    QStringList lines;
    db::Handler handler() {
        return db::Handler(QStringLiteral("in X.Y.Z "), [this](const QString& location, int line,
                                                               const QString& text) {
            lines << QStringLiteral("%1|%2|%3").arg(location).arg(line).arg(text);
        });
    }
};
} // namespace

void HandlerTest::shouldReportEachFailedStepAndGoOn() {
    Reports reports;
    auto h = reports.handler();
    QStringList ran;
    h.step(100, [&] { ran << "100"; });
    h.step(102, [&] { throw db::DbError(QStringLiteral("driver says no")); });
    h.step(104, [&] { throw std::runtime_error("plain"); });
    h.step(106, [&] { ran << "106"; });
    QCOMPARE(ran, QStringList({"100", "106"}));
    QCOMPARE(reports.lines, QStringList({"in X.Y.Z |102|driver says no", "in X.Y.Z |104|plain"}));
}

void HandlerTest::shouldRunGuardedActionWhenConditionFails() {
    Reports reports;
    auto h = reports.handler();
    const bool run = h.cond(138, []() -> bool { throw db::DbError(QString()); });
    QVERIFY(run);
    QCOMPARE(reports.lines, QStringList({"in X.Y.Z |138|"}));
    QVERIFY(!h.cond(140, [] { return false; }));
}

void HandlerTest::shouldLeaveLoopWhenConditionFails() {
    Reports reports;
    auto h = reports.handler();
    int rounds = 0;
    while (h.loopCond(110, [&]() -> bool {
        if (rounds == 2)
            throw db::DbError(QStringLiteral("gone"));
        return true;
    }))
        ++rounds;
    QCOMPARE(rounds, 2);
    QCOMPARE(reports.lines.size(), 1);
}

QTEST_GUILESS_MAIN(HandlerTest)
#include "tst_handler.moc"
