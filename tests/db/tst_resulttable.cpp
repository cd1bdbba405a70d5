#include "db/read/resulttable.h"

#include <QTest>
#include <random>

// The compact row store must give back exactly what went in, also after rows are
// replaced in place.
class ResultTableTest : public QObject {
    Q_OBJECT
  private slots:
    void shouldKeepEveryValueNullAndEmptyApart();
    void shouldReplaceRowsWithoutDisturbingOthers();
};

namespace {
db::ResultTable twoColumns() {
    db::ResultTable table;
    table.setColumns({{"a"}, {"b"}});
    return table;
}
std::string valueFor(int row) {
    // Lengths cross the one-byte length prefix and the chunk size now and then.
    const std::size_t length = row % 97 == 0 ? 300000 : std::size_t(row % 200);
    return std::string(length, char('a' + row % 26));
}
} // namespace

void ResultTableTest::shouldKeepEveryValueNullAndEmptyApart() {
    // Filled cell by cell, and from blocks of rows as a read hands them over.
    db::ResultTable table = twoColumns();
    db::ResultTable fromBlocks = twoColumns();
    const int rows = 5000;
    db::RowBlock block(2);
    for (int r = 0; r < rows; ++r) {
        if (r % 5 == 0) {
            table.appendNull(0);
            block.appendNull(0);
        } else {
            table.append(0, valueFor(r));
            block.append(0, valueFor(r));
        }
        const std::string second = r % 3 == 0 ? std::string() : std::to_string(r);
        table.append(1, second);
        block.append(1, second);
        table.finishRow();
        block.finishRow();
        if (block.rowCount() == 1 + r % 700) {
            fromBlocks.appendBlock(std::move(block));
            block = db::RowBlock(2);
        }
    }
    fromBlocks.appendBlock(std::move(block));
    fromBlocks.squeeze();
    QCOMPARE(fromBlocks.rowCount(), rows);
    QCOMPARE(table.rowCount(), rows);
    for (int r = 0; r < rows; ++r) {
        QCOMPARE(table.isNull(r, 0), r % 5 == 0);
        if (r % 5 != 0)
            QCOMPARE(std::string(table.bytes(r, 0)), valueFor(r));
        QVERIFY(!table.isNull(r, 1));
        QVERIFY(!table.text(r, 1).isNull());
        QCOMPARE(table.text(r, 1), r % 3 == 0 ? QString("") : QString::number(r));
    }
    QVERIFY(table.text(0, 0).isNull());
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < 2; ++c) {
            QCOMPARE(fromBlocks.isNull(r, c), table.isNull(r, c));
            QVERIFY(fromBlocks.bytes(r, c) == table.bytes(r, c));
        }
    // Rows taken over from blocks are replaced in place like any others, also with values
    // longer than the room the block was trimmed to.
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        const int r = int(random() % rows);
        const std::vector<std::optional<std::string>> values = {
            round % 5 == 0 ? std::nullopt : std::optional(valueFor(int(random() % 1000))),
            std::string(random() % 300, 'z')};
        table.replaceRow(r, values);
        fromBlocks.replaceRow(r, values);
    }
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < 2; ++c) {
            QCOMPARE(fromBlocks.isNull(r, c), table.isNull(r, c));
            QVERIFY(fromBlocks.bytes(r, c) == table.bytes(r, c));
        }
}

void ResultTableTest::shouldReplaceRowsWithoutDisturbingOthers() {
    db::ResultTable table = twoColumns();
    std::vector<std::optional<std::string>> a, b;
    for (int r = 0; r < 3000; ++r) {
        a.push_back(valueFor(r));
        b.push_back(std::to_string(r));
        table.append(0, *a.back());
        table.append(1, *b.back());
        table.finishRow();
    }
    std::mt19937 random(7);
    for (int round = 0; round < 400; ++round) {
        const int r = int(random() % 3000);
        a[std::size_t(r)] =
            round % 4 == 0 ? std::nullopt : std::optional(std::string(random() % 400, 'x'));
        b[std::size_t(r)] = std::string(random() % 3, 'y');
        table.replaceRow(r, {a[std::size_t(r)], b[std::size_t(r)]});
    }
    for (int r = 0; r < 3000; ++r) {
        QCOMPARE(table.isNull(r, 0), !a[std::size_t(r)].has_value());
        if (a[std::size_t(r)])
            QCOMPARE(std::string(table.bytes(r, 0)), *a[std::size_t(r)]);
        QCOMPARE(std::string(table.bytes(r, 1)), *b[std::size_t(r)]);
    }
}

QTEST_GUILESS_MAIN(ResultTableTest)
#include "tst_resulttable.moc"
