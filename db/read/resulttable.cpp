#include "db/read/resulttable.h"

#include "db/odbc/dberror.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace db {
namespace {

std::size_t putVarint(char* out, std::uint64_t value) {
    std::size_t n = 0;
    while (value >= 0x80) {
        out[n++] = char((value & 0x7F) | 0x80);
        value >>= 7;
    }
    out[n++] = char(value);
    return n;
}

std::uint64_t getVarint(const char* in, std::size_t& length) {
    std::uint64_t value = 0;
    int shift = 0;
    length = 0;
    for (;;) {
        const auto byte = static_cast<unsigned char>(in[length++]);
        value |= std::uint64_t(byte & 0x7F) << shift;
        if (!(byte & 0x80))
            return value;
        shift += 7;
    }
}

} // namespace

void ResultTable::setColumns(std::vector<ColumnInfo> columns) {
    columns_ = std::move(columns);
    clearRows();
}

void ResultTable::clearRows() {
    store_.clear();
    store_.resize(columns_.size());
    rows_ = 0;
}

int ResultTable::columnIndex(const QString& name) const {
    for (int i = 0; i < columnCount(); ++i)
        if (columns_[std::size_t(i)].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

ResultTable::Cell ResultTable::locate(const Column& column, int row) const {
    Place place = column.index[std::size_t(row / kGroup)];
    int skip = row % kGroup;
    for (;;) {
        const CellRun& chunk = column.chunks[place.chunk];
        if (place.offset >= chunk.size()) { // cells never straddle chunks
            place = {place.chunk + 1, 0};
            continue;
        }
        std::size_t prefix = 0;
        const std::uint64_t marker = getVarint(chunk.data() + place.offset, prefix);
        if (skip-- == 0)
            return {place, prefix, marker};
        place.offset += std::uint32_t(prefix + (marker ? marker - 1 : 0));
    }
}

bool ResultTable::isNull(int row, int column) const {
    return locate(store_[std::size_t(column)], row).marker == 0;
}

std::string_view ResultTable::bytes(int row, int column) const {
    const Column& c = store_[std::size_t(column)];
    const Cell cell = locate(c, row);
    if (cell.marker == 0)
        return {};
    return {c.chunks[cell.place.chunk].data() + cell.place.offset + cell.prefix,
            std::size_t(cell.marker - 1)};
}

QString ResultTable::text(int row, int column) const {
    const Column& c = store_[std::size_t(column)];
    const Cell cell = locate(c, row);
    if (cell.marker == 0)
        return {};
    const char* begin = c.chunks[cell.place.chunk].data() + cell.place.offset + cell.prefix;
    QString result = QString::fromUtf8(begin, qsizetype(cell.marker - 1));
    if (result.isNull())
        result = QLatin1String(""); // empty, not NULL
    return result;
}

CellRun& ResultTable::chunkFor(Column& column, std::size_t need) {
    if (need > UINT32_MAX)
        throw DbError(QStringLiteral("A value of column %1 is too large to be held.")
                          .arg(columns_[std::size_t(&column - store_.data())].name));
    if (column.chunks.empty() ||
        column.chunks.back().size() + need > column.chunks.back().capacity()) {
        // Small tables stay small: chunks double up to their full size.
        const std::size_t size =
            column.chunks.empty()
                ? kFirstChunkBytes
                : std::min(kChunkBytes,
                           std::max(kFirstChunkBytes, column.chunks.back().capacity() * 2));
        column.chunks.emplace_back();
        column.chunks.back().reserve(std::max(size, need));
    }
    return column.chunks.back();
}

void ResultTable::appendCell(Column& column, std::optional<std::string_view> value) {
    char prefix[10];
    const std::size_t prefixLength = putVarint(prefix, value ? value->size() + 1 : 0);
    const std::size_t need = prefixLength + (value ? value->size() : 0);
    CellRun& chunk = chunkFor(column, need);
    if (column.cells % kGroup == 0)
        column.index.push_back(
            {std::uint32_t(column.chunks.size() - 1), std::uint32_t(chunk.size())});
    chunk.append({prefix, prefixLength});
    if (value)
        chunk.append(*value);
    ++column.cells;
}

void ResultTable::appendNull(int column) {
    appendCell(store_[std::size_t(column)], std::nullopt);
}

void ResultTable::append(int column, std::string_view value) {
    appendCell(store_[std::size_t(column)], value);
}

void ResultTable::finishRow() {
    ++rows_;
}

void ResultTable::appendBlock(RowBlock&& block) {
    for (int col = 0; col < columnCount() && col < block.columnCount(); ++col) {
        CellRun& cells = block.cells_[std::size_t(col)];
        if (cells.size() == 0)
            continue;
        if (cells.size() > UINT32_MAX)
            throw DbError(QStringLiteral("The values of column %1 are too large to be held.")
                              .arg(columns_[std::size_t(col)].name));
        Column& column = store_[std::size_t(col)];
        // The block's cells become a chunk of their own; only their places are indexed.
        const auto chunk = std::uint32_t(column.chunks.size());
        const char* const begin = cells.data();
        const char* const end = begin + cells.size();
        for (const char* next = begin; next < end; ++column.cells) {
            if (column.cells % kGroup == 0)
                column.index.push_back({chunk, std::uint32_t(next - begin)});
            std::size_t prefix = 0;
            const std::uint64_t marker = getVarint(next, prefix);
            next += prefix + (marker ? marker - 1 : 0);
        }
        column.chunks.push_back(std::move(cells));
    }
    rows_ += block.rowCount();
    block = RowBlock();
}

void ResultTable::squeeze() {
    for (Column& c : store_) {
        c.index.shrink_to_fit();
        if (!c.chunks.empty())
            c.chunks.back().trim();
    }
}

RowBlock::RowBlock(int columns, const std::vector<std::size_t>& reserve)
    : cells_(std::size_t(columns)) {
    for (std::size_t c = 0; c < cells_.size() && c < reserve.size(); ++c)
        if (reserve[c] > 0)
            grow(cells_[c], reserve[c]);
}

void RowBlock::grow(CellRun& cells, std::size_t need) {
    cells.reserve(std::max({cells.size() + need, cells.capacity() * 2, std::size_t(256)}));
}

void RowBlock::append(int column, std::string_view value) {
    char* out = room(column, value.size() + 10);
    const std::size_t prefix = putVarint(out, value.size() + 1);
    if (!value.empty())
        std::memcpy(out + prefix, value.data(), value.size());
    cells_[std::size_t(column)].grow(prefix + value.size());
}

void RowBlock::trim() {
    for (CellRun& c : cells_)
        c.trim();
}

std::vector<std::size_t> RowBlock::columnBytes() const {
    std::vector<std::size_t> sizes;
    for (const CellRun& c : cells_)
        sizes.push_back(c.size());
    return sizes;
}

std::size_t RowBlock::bytes() const {
    std::size_t total = 0;
    for (const CellRun& c : cells_)
        total += c.size();
    return total;
}

void ResultTable::replaceRow(int row, const std::vector<std::optional<std::string>>& values) {
    for (std::size_t col = 0; col < store_.size() && col < values.size(); ++col) {
        Column& c = store_[col];
        const Cell cell = locate(c, row);
        CellRun& chunk = c.chunks[cell.place.chunk];
        const std::size_t oldLength = cell.prefix + (cell.marker ? cell.marker - 1 : 0);
        std::string encoded(10, '\0');
        encoded.resize(putVarint(encoded.data(), values[col] ? values[col]->size() + 1 : 0));
        if (values[col])
            encoded += *values[col];
        if (chunk.size() - oldLength + encoded.size() > UINT32_MAX)
            throw DbError(QStringLiteral("A value of column %1 is too large to be held.")
                              .arg(columns_[col].name));
        chunk.replace(cell.place.offset, oldLength, encoded);
        // Later indexed cells of the same chunk moved.
        const std::int64_t delta = std::int64_t(encoded.size()) - std::int64_t(oldLength);
        for (std::size_t g = std::size_t(row / kGroup) + 1; g < c.index.size(); ++g) {
            if (c.index[g].chunk != cell.place.chunk)
                break;
            c.index[g].offset = std::uint32_t(std::int64_t(c.index[g].offset) + delta);
        }
    }
}

std::size_t ResultTable::memoryBytes() const {
    std::size_t total = 0;
    for (const Column& c : store_) {
        total += c.index.capacity() * sizeof(Place);
        total += c.chunks.capacity() * sizeof(CellRun);
        for (const CellRun& chunk : c.chunks)
            total += chunk.capacity();
    }
    return total;
}

namespace {

constexpr std::uint64_t kRowSeed = 0x84222325CBF29CE4ULL;
constexpr std::uint64_t kNullHash = 0x9AE16A3B2F90404FULL;

std::uint64_t mixCell(std::uint64_t hash, std::uint64_t value) {
    hash = (hash ^ value) * 0x100000001B3ULL;
    return hash ^ (hash >> 29);
}

std::uint64_t cellHash(std::optional<std::string_view> value) {
    return value ? std::hash<std::string_view>{}(*value) + 1 : kNullHash;
}

} // namespace

void ResultTable::hashRows(int first, int count, std::uint64_t* hashes) const {
    if (count <= 0)
        return;
    std::fill(hashes, hashes + count, kRowSeed);
    for (const Column& column : store_) {
        Place place = locate(column, first).place;
        for (int i = 0; i < count; ++i) {
            while (place.offset >= column.chunks[place.chunk].size())
                place = {place.chunk + 1, 0}; // cells never straddle chunks
            const char* at = column.chunks[place.chunk].data() + place.offset;
            std::size_t prefix = 0;
            const std::uint64_t marker = getVarint(at, prefix);
            const std::size_t size = marker ? std::size_t(marker - 1) : 0;
            hashes[i] =
                mixCell(hashes[i], cellHash(marker ? std::optional<std::string_view>(
                                                         std::string_view(at + prefix, size))
                                                   : std::nullopt));
            place.offset += std::uint32_t(prefix + size);
        }
    }
    for (int i = 0; i < count; ++i)
        if (hashes[i] < 2)
            hashes[i] += 2;
}

std::uint64_t rowHash(const ResultTable& rows, int row) {
    std::uint64_t hash = kRowSeed;
    for (int c = 0; c < rows.columnCount(); ++c)
        hash = mixCell(
            hash, cellHash(rows.isNull(row, c) ? std::nullopt : std::optional(rows.bytes(row, c))));
    return hash < 2 ? hash + 2 : hash;
}

bool sameRow(const ResultTable& rows, int a, int b) {
    for (int c = 0; c < rows.columnCount(); ++c) {
        const bool null = rows.isNull(a, c);
        if (null != rows.isNull(b, c) || (!null && rows.bytes(a, c) != rows.bytes(b, c)))
            return false;
    }
    return true;
}

} // namespace db
