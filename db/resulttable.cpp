#include "db/resulttable.h"

namespace db {

void ResultTable::setColumns(std::vector<ColumnInfo> columns) {
    columns_ = std::move(columns);
    store_.assign(columns_.size(), Column{});
    rows_ = 0;
}

int ResultTable::columnIndex(const QString& name) const {
    for (int i = 0; i < columnCount(); ++i)
        if (columns_[std::size_t(i)].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool ResultTable::isNull(int row, int column) const {
    return store_[std::size_t(column)].nulls[std::size_t(row)];
}

std::string_view ResultTable::bytes(int row, int column) const {
    const Column& c = store_[std::size_t(column)];
    const std::uint64_t begin = row == 0 ? 0 : c.ends[std::size_t(row) - 1];
    const std::uint64_t end = c.ends[std::size_t(row)];
    return {c.data.data() + begin, std::size_t(end - begin)};
}

QString ResultTable::text(int row, int column) const {
    if (isNull(row, column))
        return {};
    const std::string_view b = bytes(row, column);
    QString result = QString::fromUtf8(b.data(), qsizetype(b.size()));
    if (result.isNull())
        result = QLatin1String(""); // empty, but not null
    return result;
}

void ResultTable::appendNull(int column) {
    Column& c = store_[std::size_t(column)];
    c.ends.push_back(c.data.size());
    c.nulls.push_back(true);
}

void ResultTable::append(int column, std::string_view value) {
    Column& c = store_[std::size_t(column)];
    c.data.insert(c.data.end(), value.begin(), value.end());
    c.ends.push_back(c.data.size());
    c.nulls.push_back(false);
}

void ResultTable::finishRow() {
    ++rows_;
}

void ResultTable::reserveRows(std::size_t rows) {
    for (Column& c : store_) {
        c.ends.reserve(rows);
        c.nulls.reserve(rows);
    }
}

void ResultTable::replaceRow(int row, const std::vector<std::optional<std::string>>& values) {
    for (std::size_t col = 0; col < store_.size() && col < values.size(); ++col) {
        Column& c = store_[col];
        const std::uint64_t begin = row == 0 ? 0 : c.ends[std::size_t(row) - 1];
        const std::uint64_t end = c.ends[std::size_t(row)];
        const std::string_view value = values[col] ? std::string_view(*values[col]) : "";
        const std::int64_t delta = std::int64_t(value.size()) - std::int64_t(end - begin);
        if (delta > 0)
            c.data.insert(c.data.begin() + std::ptrdiff_t(end), std::size_t(delta), '\0');
        else if (delta < 0)
            c.data.erase(c.data.begin() + std::ptrdiff_t(end) + delta,
                         c.data.begin() + std::ptrdiff_t(end));
        std::copy(value.begin(), value.end(), c.data.begin() + std::ptrdiff_t(begin));
        for (std::size_t r = std::size_t(row); r < c.ends.size(); ++r)
            c.ends[r] = std::uint64_t(std::int64_t(c.ends[r]) + delta);
        c.nulls[std::size_t(row)] = !values[col].has_value();
    }
}

std::size_t ResultTable::memoryBytes() const {
    std::size_t total = 0;
    for (const Column& c : store_)
        total +=
            c.data.capacity() + c.ends.capacity() * sizeof(std::uint64_t) + c.nulls.capacity() / 8;
    return total;
}

} // namespace db
