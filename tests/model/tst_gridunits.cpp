#include "db/values/sortkeys.h"
#include "model/pastetext.h"
#include "model/roworder.h"
#include "model/undostack.h"

#include <QTest>
#include <algorithm>

// The grid's units that need no widget and no server: the order of the shown rows, the
// keys a column sorts by, the cells read from pasted text and the history of writes.
class GridUnitsTest : public QObject {
    Q_OBJECT
  private slots:
    void shouldMapShownRowsThroughHidesAppendsAndMerges();
    void shouldSortExactNumbersOfAnyLengthExactlyWithNullFirst();
    void shouldSortFloatsAsNumbersAndMomentsAsTheMomentsTheyName();
    void shouldSortTextsByTheirBytesWithoutTrailingBlanks();
    void shouldReadQuotedCellsAsSpreadsheetsWriteThem();
    void shouldTakeStepsBackAndForthExpectingWhatTheTableHolds();
};

namespace {

using model::RowOrder;

// ODBC's type codes for the columns below.
constexpr short kSqlVarchar = 12;
constexpr short kSqlDouble = 8;
constexpr short kSqlTimestamp = 93;

// One column of these values (NULL for nullopt), as the table read them.
db::ResultTable columnOf(short sqlType, const std::vector<std::optional<std::string>>& values,
                         bool binary = false) {
    db::ColumnInfo info;
    info.name = QStringLiteral("c");
    info.sqlType = sqlType;
    info.binary = binary;
    db::ResultTable rows;
    rows.setColumns({info});
    for (const auto& value : values) {
        if (value)
            rows.append(0, *value);
        else
            rows.appendNull(0);
        rows.finishRow();
    }
    return rows;
}

std::string keyOf(const db::ResultTable& rows, const QString& typeName, int row) {
    std::string key;
    db::appendSortKey(db::sortKindOf(rows.columns()[0], typeName), rows, row, 0, key);
    return key;
}

// The values in the order their keys sort them ("NULL" for NULL); equal keys keep
// their order.
QStringList sorted(const db::ResultTable& rows, const QString& typeName) {
    std::vector<int> order(std::size_t(rows.rowCount()));
    for (int r = 0; r < rows.rowCount(); ++r)
        order[std::size_t(r)] = r;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return keyOf(rows, typeName, a) < keyOf(rows, typeName, b);
    });
    QStringList values;
    for (int r : order)
        values << (rows.isNull(r, 0) ? QStringLiteral("NULL") : rows.text(r, 0));
    return values;
}

QList<int> shown(const RowOrder& order) {
    QList<int> rows;
    for (int v = 0; v < order.count(); ++v)
        rows << order.stored(v);
    return rows;
}

} // namespace

void GridUnitsTest::shouldMapShownRowsThroughHidesAppendsAndMerges() {
    RowOrder order;
    order.reset(6);
    // Deleting rows 1, 3 and 5 as the grid does: each run of view rows, the last first.
    const std::vector<int> views = order.viewRowsOf({5, 3, 1, 3, 9});
    QCOMPARE(QList<int>(views.begin(), views.end()), (QList<int>{5, 3, 1}));
    order.remove(5, 5);
    QVERIFY(order.identity()); // rows hidden from the end need no mapping
    order.remove(3, 3);
    order.remove(1, 1);
    QCOMPARE(shown(order), (QList<int>{0, 2, 4}));
    QCOMPARE(order.view(4), 2);
    QCOMPARE(order.view(3), -1);
    QCOMPARE(order.stored(3), -1);
    // Rows read later are shown at the end; a hidden row stays hidden.
    order.append(6, 2);
    QCOMPARE(shown(order), (QList<int>{0, 2, 4, 6, 7}));
    const std::vector<int> again = order.viewRowsOf({3, 7, 0});
    QCOMPARE(QList<int>(again.begin(), again.end()), (QList<int>{4, 0}));

    // Sorted by a value per stored row: a new row goes after the rows equal to it.
    const std::vector<int> value = {5, 0, 3, 0, 1, 0, 3, 9, 3, 2};
    const auto valueOf = [&](int stored) { return value[std::size_t(stored)]; };
    order.setOrder({4, 2, 6, 0, 7});
    const RowOrder::Less less = [&](int a, int b) { return valueOf(a) < valueOf(b); };
    QCOMPARE(order.placeFor(8, less), 3);
    order.insert(order.placeFor(8, less), 8);
    const std::vector<int> arrived = {1, 5, 9}; // in order among themselves
    order.mergeSorted(
        arrived, [&](std::size_t i, int stored) { return valueOf(arrived[i]) < valueOf(stored); });
    QCOMPARE(shown(order), (QList<int>{1, 5, 4, 9, 2, 6, 8, 0, 7}));
    order.removeLast(2);
    QCOMPARE(shown(order), (QList<int>{1, 5, 4, 9, 2, 6, 8}));
    order.reset(2);
    QVERIFY(order.identity());
    QCOMPARE(shown(order), (QList<int>{0, 1}));
}

void GridUnitsTest::shouldSortExactNumbersOfAnyLengthExactlyWithNullFirst() {
    const std::string big(39, '9');
    const db::ResultTable rows =
        columnOf(0, {"10", "-2.50", std::nullopt, " 9 ", "-10", "0.000", "1" + big, big + ".5",
                     "-2.5000001", "12,5", "+3", "-0", "0.1"});
    const QString bigText = QString::fromStdString(big);
    for (const QString& type : {QStringLiteral("numeric(40,1)"), QStringLiteral("money")})
        QCOMPARE(sorted(rows, type),
                 (QStringList{"NULL", "-10", "-2.5000001", "-2.50", "0.000", "-0", "0.1", "+3",
                              " 9 ", "10", bigText + ".5", "1" + bigText, "12,5"}));
    QCOMPARE(keyOf(rows, "decimal", 5), keyOf(rows, "decimal", 11)); // 0.000 and -0
}

void GridUnitsTest::shouldSortFloatsAsNumbersAndMomentsAsTheMomentsTheyName() {
    const db::ResultTable floats =
        columnOf(kSqlDouble, {"1e3", "-150", "0", "2.5", std::nullopt, "-0", "999.9", "-1.5E-3"});
    QCOMPARE(sorted(floats, "float"),
             (QStringList{"NULL", "-150", "-1.5E-3", "0", "-0", "2.5", "999.9", "1e3"}));
    QCOMPARE(keyOf(floats, "float", 2), keyOf(floats, "float", 5));

    const db::ResultTable moments =
        columnOf(kSqlTimestamp,
                 {"2024-02-29 13:45:30.500", "Feb 29 2024", "2024-02-29", "2023-12-31 23:59:59.999",
                  "2024-02-29 13:45:30.5", "2024-02-29 00:00:00", "2024-02-29 13:45", std::nullopt,
                  "2024-02-29T13:45:00", "2024-02-29 13:45:30"});
    QCOMPARE(sorted(moments, "datetime"),
             (QStringList{"NULL", "2023-12-31 23:59:59.999", "2024-02-29", "2024-02-29 00:00:00",
                          "2024-02-29 13:45", "2024-02-29T13:45:00", "2024-02-29 13:45:30",
                          "2024-02-29 13:45:30.500", "2024-02-29 13:45:30.5", "Feb 29 2024"}));
    QCOMPARE(keyOf(moments, "datetime", 0), keyOf(moments, "datetime", 4));
}

void GridUnitsTest::shouldSortTextsByTheirBytesWithoutTrailingBlanks() {
    const db::ResultTable texts =
        columnOf(kSqlVarchar, {"abc  ", "B", "", std::nullopt, "abc", "ab", "abc\t", "  ", "é"});
    QCOMPARE(sorted(texts, "varchar"),
             (QStringList{"NULL", "", "  ", "B", "ab", "abc  ", "abc", "abc\t", "é"}));
    QCOMPARE(keyOf(texts, "varchar", 0), keyOf(texts, "varchar", 4));
    // Binary values keep every byte.
    const db::ResultTable bytes = columnOf(-3, {"ab ", "ab"}, true);
    QCOMPARE(sorted(bytes, "varbinary"), (QStringList{"ab", "ab "}));

    // A long text is keyed by its first bytes, and the key says it was cut.
    const db::ResultTable longTexts =
        columnOf(kSqlVarchar, {std::string(db::kSortKeyLimit, 'x') + "a",
                               std::string(db::kSortKeyLimit, 'x') + "b", std::string(100, 'x')});
    const db::SortKind kind = db::sortKindOf(longTexts.columns()[0], "text");
    std::string first, second, shortKey;
    QVERIFY(!db::appendSortKey(kind, longTexts, 0, 0, first));
    QVERIFY(!db::appendSortKey(kind, longTexts, 1, 0, second));
    QVERIFY(db::appendSortKey(kind, longTexts, 2, 0, shortKey));
    QCOMPARE(first, second);
    QVERIFY(db::appendSortKey(kind, longTexts, 1, 0, second.erase(), std::string::npos));
    QVERIFY(first < second);
}

void GridUnitsTest::shouldReadQuotedCellsAsSpreadsheetsWriteThem() {
    const auto cells = [](const QString& text) {
        QList<QStringList> rows;
        for (const std::vector<model::PastedCell>& row : model::parseCellBlock(text)) {
            QStringList line;
            for (const model::PastedCell& cell : row)
                line << (cell.quoted ? QStringLiteral("[%1]").arg(cell.text) : cell.text);
            rows << line;
        }
        return rows;
    };
    using Rows = QList<QStringList>;
    QCOMPARE(cells(""), Rows{});
    QCOMPARE(cells("a\tb\nc\td\n"), (Rows{{"a", "b"}, {"c", "d"}}));
    QCOMPARE(cells("a\t\tb\r\n\r\nc"), (Rows{{"a", "", "b"}, {""}, {"c"}}));
    // Quoted: tabs, line breaks and doubled quotes inside; an empty quoted cell is a text.
    QCOMPARE(cells("\"x\ty\"\t\"line1\r\nline2\"\n\"say \"\"hi\"\"\"\t\"\""),
             (Rows{{"[x\ty]", "[line1\r\nline2]"}, {"[say \"hi\"]", "[]"}}));
    // Not quoted: text after the closing quote, or a quote never closed.
    QCOMPARE(cells("\"5\" inch\t12\"\n\"open\tend"),
             (Rows{{"\"5\" inch", "12\""}, {"\"open", "end"}}));
    QCOMPARE(cells("\"a\"\"b\"c"), (Rows{{"\"a\"\"b\"c"}}));
}

void GridUnitsTest::shouldTakeStepsBackAndForthExpectingWhatTheTableHolds() {
    using db::CellValue;
    model::UndoStack stack;
    QVERIFY(!stack.canUndo() && !stack.canRedo());
    // One block that wrote a cell twice, then one edit.
    stack.push({{0, 0, CellValue("a"), CellValue("b")},
                {1, 0, std::nullopt, CellValue("x")},
                {0, 0, CellValue("b"), CellValue("c")}});
    stack.push({{2, 0, CellValue("p"), CellValue("q")}});
    stack.push({}); // nothing written: no step
    const auto name = [](int row) { return QStringLiteral("row %1").arg(row + 1); };

    std::vector<db::CellChange> back = stack.undoChanges(name);
    QCOMPARE(back.size(), std::size_t(1));
    QCOMPARE(back[0].value, CellValue("p"));
    QCOMPARE(back[0].expected, std::optional<CellValue>(CellValue("q")));
    QCOMPARE(back[0].rowName, QStringLiteral("row 3"));
    // The table after the step back, as read back: a trigger wrote "P", not "p".
    const db::ResultTable rows = columnOf(kSqlVarchar, {"c", "x", "P"});
    stack.undone(rows);
    stack.wrote(rows, {2});

    // Back in reverse order, so the cell written twice ends as it first was.
    back = stack.undoChanges({});
    QCOMPARE(back.size(), std::size_t(3));
    QCOMPARE((std::vector<int>{back[0].row, back[1].row, back[2].row}),
             (std::vector<int>{0, 1, 0}));
    QCOMPARE(back[0].value, CellValue("b"));
    QCOMPARE(back[0].expected, std::optional<CellValue>(CellValue("c")));
    QCOMPARE(back[1].value, CellValue());
    QCOMPARE(back[2].value, CellValue("a"));
    QCOMPARE(back[2].expected, std::optional<CellValue>(CellValue("b")));
    QVERIFY(stack.rowsAsWritten(true).empty()); // the block's rows were never written

    // Redo expects what the table held after the step back, not what the step meant.
    QVERIFY(stack.canRedo());
    const std::vector<db::CellChange> forth = stack.redoChanges(name);
    QCOMPARE(forth.size(), std::size_t(1));
    QCOMPARE(forth[0].value, CellValue("q"));
    QCOMPARE(forth[0].expected, std::optional<CellValue>(CellValue("P")));
    QCOMPARE(stack.rowsAsWritten(false).size(), std::size_t(1));
    QCOMPARE(stack.rowsAsWritten(false).at(2), (db::RowValues{CellValue("P")}));

    // A new step clears what could be redone.
    stack.push({{1, 0, CellValue("x"), CellValue("y")}});
    QVERIFY(!stack.canRedo());
    stack.clear();
    QVERIFY(!stack.canUndo() && stack.rowsAsWritten(false).empty());
}

QTEST_GUILESS_MAIN(GridUnitsTest)
#include "tst_gridunits.moc"
