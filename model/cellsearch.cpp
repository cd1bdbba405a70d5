#include "model/cellsearch.h"

#include "db/read/recordset.h"
#include "model/recordsetmodel.h"

#include <QTimer>
#include <algorithm>

namespace model {
namespace {

bool isAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool asciiEqual(char a, char b) {
    return lower(a) == lower(b);
}

} // namespace

CellSearch::CellSearch(QObject* parent) : QObject(parent) {}

void CellSearch::start(RecordsetModel* model, int row, int column, const FindOptions& options) {
    stop();
    if (!model || options.text.isEmpty() || model->columnCount() == 0)
        return;
    model_ = model;
    options_ = options;
    bytes_ = options.text.toUtf8();
    folded_ = options.text.toCaseFolded();
    asciiNeedle_ = isAscii(std::string_view(bytes_.constData(), std::size_t(bytes_.size())));
    // Without a current cell the search starts at the first (or last) cell, that cell
    // included; else at the cell after the current one, which is looked at last.
    const bool noCell = row < 0 || row >= model->rowCount() || column < 0;
    if (noCell) {
        row = options.backwards ? std::max(model->rowCount(), 1) - 1 : 0;
        column = options.backwards ? model->columnCount() - 1 : 0;
    }
    startRow_ = row_ = row;
    startColumn_ = column_ = column;
    wrapped_ = false;
    running_ = true;
    if (!noCell)
        step();
    const int generation = ++generation_;
    QTimer::singleShot(0, this, [this, generation] {
        if (generation == generation_)
            slice();
    });
}

void CellSearch::stop() {
    ++generation_;
    running_ = false;
    waiting_ = false;
    disconnect(rowsCame_);
    model_ = nullptr;
}

void CellSearch::step() {
    if (options_.backwards) {
        if (--column_ < 0)
            column_ = model_->columnCount() - 1, --row_;
        return;
    }
    if (++column_ >= model_->columnCount())
        column_ = 0, ++row_;
}

bool CellSearch::matches(int row, int column) const {
    const int stored = model_->storedRow(row);
    if (stored < 0)
        return false;
    const db::ResultTable& rows = model_->source()->rows;
    if (rows.isNull(stored, column))
        return false;
    std::string_view cell = rows.bytes(stored, column);
    QByteArray hex;
    if (RecordsetModel::fixedWidth(rows.columns()[std::size_t(column)]))
        cell = RecordsetModel::unpadded(cell); // the server pads them; the user never typed it
    if (rows.columns()[std::size_t(column)].binary) {
        hex = "0x" + QByteArray(cell.data(), qsizetype(cell.size())).toHex().toUpper();
        cell = std::string_view(hex.constData(), std::size_t(hex.size()));
    }
    const std::string_view needle(bytes_.constData(), std::size_t(bytes_.size()));
    if (options_.matchCase) // the same characters are the same bytes
        return options_.wholeCell ? cell == needle : cell.find(needle) != std::string_view::npos;
    if (asciiNeedle_ && isAscii(cell)) {
        if (options_.wholeCell)
            return cell.size() == needle.size() &&
                   std::equal(cell.begin(), cell.end(), needle.begin(), asciiEqual);
        return std::search(cell.begin(), cell.end(), needle.begin(), needle.end(), asciiEqual) !=
               cell.end();
    }
    const QString text = QString::fromUtf8(cell.data(), qsizetype(cell.size())).toCaseFolded();
    return options_.wholeCell ? text == folded_ : text.contains(folded_);
}

void CellSearch::slice() {
    if (!running_ || !model_)
        return;
    for (int looked = 0; looked < kSliceCells; ++looked) {
        if (row_ >= 0 && row_ < model_->rowCount()) {
            if (matches(row_, column_)) {
                const int row = row_, column = column_;
                const bool wrapped = wrapped_;
                stop();
                emit found(row, column, wrapped);
                return;
            }
            if (wrapped_ && row_ == startRow_ && column_ == startColumn_) {
                stop();
                emit notFound();
                return;
            }
            step();
            continue;
        }
        // Past the end of the rows read so far: wait for more while they come.
        if (!options_.backwards && !wrapped_ &&
            model_->load() == db::RecordsetData::Load::Reading) {
            row_ = model_->rowCount();
            column_ = 0;
            rowsCame_ = connect(model_, &RecordsetModel::loadChanged, this, [this] {
                if (model_->load() == db::RecordsetData::Load::Reading &&
                    row_ >= model_->rowCount())
                    return;
                disconnect(rowsCame_);
                slice();
            });
            if (!waiting_) {
                waiting_ = true;
                emit waitingForRows();
            }
            return;
        }
        if (wrapped_ || model_->rowCount() == 0) { // nothing left to look at
            stop();
            emit notFound();
            return;
        }
        wrapped_ = true;
        row_ = options_.backwards ? model_->rowCount() - 1 : 0;
        column_ = options_.backwards ? model_->columnCount() - 1 : 0;
    }
    const int generation = generation_;
    QTimer::singleShot(0, this, [this, generation] {
        if (generation == generation_)
            slice();
    });
}

} // namespace model
