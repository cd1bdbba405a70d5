#include "model/recordsetmodel.h"

#include "db/odbc/dberror.h"
#include "db/read/filter.h"
#include "db/read/recordset.h"
#include "db/values/sqltypes.h"
#include "db/write/rowwriter.h"
#include "db/write/tablekeys.h"
#include "model/celltext.h"
#include "model/newrowline.h"

#include <QColor>
#include <QCoreApplication>

namespace model {

const QString RecordsetModel::NullPlaceholder = QStringLiteral("NULL");
const QString RecordsetModel::TwinTip = QStringLiteral(
    "A twin: other rows hold exactly the same values, and nothing in this table tells them "
    "apart. It cannot be edited or deleted alone; select all of its twins to delete them "
    "together.");

const QString RecordsetModel::OutsideFilterTip = QStringLiteral(
    "This row no longer matches the filter: it was changed or added so. It stays shown "
    "until the table is read again (F5).");

bool RecordsetModel::fixedWidth(const db::ColumnInfo& column) {
    return !column.binary && db::sqltypes::isFixedText(column.sqlType);
}

bool RecordsetModel::isText(const db::ColumnInfo& column) {
    return !column.binary && db::sqltypes::isCharacter(column.sqlType);
}

std::string_view RecordsetModel::unpadded(std::string_view value) {
    while (!value.empty() && value.back() == ' ')
        value.remove_suffix(1);
    return value;
}

RecordsetModel::RecordsetModel(std::shared_ptr<db::RecordsetData> data, QObject* parent)
    : QAbstractTableModel(parent), data_(std::move(data)) {
    start(nullptr);
}

RecordsetModel::RecordsetModel(std::shared_ptr<db::RecordsetData> data,
                               const RecordsetModel& sameTable)
    : data_(std::move(data)) {
    start(sameTable.writer_.get());
}

void RecordsetModel::start(const db::RowWriter* learnt) {
    if (data_)
        order_.reset(data_->rows.rowCount());
    if (data_ && learnt) {
        writer_ = std::make_unique<db::RowWriter>(data_, *learnt);
        trackTwins();
    }
    if (!data_ || data_->load() != db::RecordsetData::Load::Reading) {
        if (!writer_) {
            writer_ = std::make_unique<db::RowWriter>(data_);
            trackTwins();
        }
        return;
    }
    data_->rowsAboutToBeAppended = [this](int first, int last) { appendShown(first, last); };
    data_->rowsAppended = [this] { appendedShown(); };
    data_->setArrivalHandler([this] { rowsArrived(); });
    // Rows that came before this model was made.
    data_->appendArrived();
    if (QCoreApplication* application = QCoreApplication::instance())
        connect(application, &QCoreApplication::aboutToQuit, this, &RecordsetModel::stopLoading);
}

RecordsetModel::~RecordsetModel() {
    if (sortThread_.joinable())
        sortThread_.join();
    if (!data_)
        return;
    data_->rowsAboutToBeAppended = nullptr;
    data_->rowsAppended = nullptr;
    data_->setArrivalHandler(nullptr);
    data_->stopLoad();
}

db::RowWriter& RecordsetModel::writer() const {
    if (!writer_) {
        writer_ = std::make_unique<db::RowWriter>(data_);
        const_cast<RecordsetModel*>(this)->trackTwins();
        emit const_cast<RecordsetModel*>(this)->keysLearned();
    }
    return *writer_;
}

void RecordsetModel::learnKeysSoon() {
    if (!writer_)
        QMetaObject::invokeMethod(
            this, [this] { writer(); }, Qt::QueuedConnection);
}

void RecordsetModel::rowsArrived() {
    data_->appendArrived();
    emit loadChanged();
}

db::RecordsetData::Load RecordsetModel::load() const {
    return data_ ? data_->load() : db::RecordsetData::Load::Complete;
}

QString RecordsetModel::loadMessage() const {
    return data_ ? data_->loadMessage() : QString();
}

void RecordsetModel::stopLoading() {
    if (!data_ || data_->load() != db::RecordsetData::Load::Reading)
        return;
    data_->stopLoad();
    emit loadChanged();
}

int RecordsetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !data_ ? 0 : order_.count() + (line_ ? 1 : 0);
}

int RecordsetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !data_ ? 0 : data_->rows.columnCount();
}

QVariant RecordsetModel::data(const QModelIndex& index, int role) const {
    const int row = index.isValid() && data_ ? storedRow(index.row()) : -1;
    if (row < 0)
        return line_ && index.row() == order_.count() ? line_->data(index.column(), role)
                                                      : QVariant();
    const db::ResultTable& rows = data_->rows;
    const int column = index.column();
    const db::ColumnInfo& info = rows.columns()[std::size_t(column)];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        if (rows.isNull(row, column))
            return role == Qt::DisplayRole ? NullPlaceholder : QString(QLatin1String(""));
        if (info.binary)
            return hexText(rows.bytes(row, column));
        if (fixedWidth(info)) {
            const std::string_view value = unpadded(rows.bytes(row, column));
            if (role == Qt::DisplayRole)
                return shownText(value);
            return QString::fromUtf8(value.data(), qsizetype(value.size()));
        }
        if (role == Qt::DisplayRole)
            return shownText(rows.bytes(row, column));
        return rows.text(row, column);
    case IsNullRole:
        return rows.isNull(row, column);
    case Qt::TextAlignmentRole:
        if (db::sqltypes::isNumeric(info.sqlType))
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ToolTipRole: {
        const QString reason = writer_ ? writer_->cellReadOnlyReason(row, column) : QString();
        if (rows.isNull(row, column))
            return reason.isEmpty() ? QStringLiteral("NULL: no value") : reason;
        return reason.isEmpty() ? QVariant() : QVariant(reason);
    }
    default:
        return {};
    }
}

const db::TableKeys* RecordsetModel::tableKeys() const {
    return writer_ ? &writer_->keys() : nullptr;
}

std::optional<QString> RecordsetModel::wholeText(int viewRow, int column) const {
    const int row = data_ ? storedRow(viewRow) : -1;
    if (row < 0 || column < 0 || column >= columnCount() || data_->rows.isNull(row, column))
        return std::nullopt;
    const db::ColumnInfo& info = data_->rows.columns()[std::size_t(column)];
    if (info.binary)
        return hexText(data_->rows.bytes(row, column), std::string_view::npos);
    if (fixedWidth(info)) {
        const std::string_view value = unpadded(data_->rows.bytes(row, column));
        return QString::fromUtf8(value.data(), qsizetype(value.size()));
    }
    return data_->rows.text(row, column);
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (!data_)
        return {};
    if (orientation == Qt::Vertical && line_ && section == order_.count())
        return line_->headerData(role);
    if (orientation == Qt::Vertical) {
        const int stored = storedRow(section);
        const bool twin = twinCount(stored) > 1;
        const bool outside = outsideFilter(stored);
        switch (role) {
        case Qt::DisplayRole:
            // An "identical to" sign after the row's number; "not an element of" for a row
            // the filter no longer holds for.
            if (!twin && !outside)
                return section + 1;
            return QString::number(section + 1) + (twin ? QStringLiteral(" \u2261") : QString()) +
                   (outside ? QStringLiteral(" \u2209") : QString());
        case Qt::ToolTipRole:
            if (twin && outside)
                return TwinTip + QLatin1Char('\n') + OutsideFilterTip;
            return twin ? QVariant(TwinTip) : outside ? QVariant(OutsideFilterTip) : QVariant();
        case Qt::ForegroundRole:
            return twin      ? QVariant(QColor(0x80, 0x30, 0x00))
                   : outside ? QVariant(QColor(0x10, 0x30, 0x70))
                             : QVariant();
        case Qt::BackgroundRole:
            return twin      ? QVariant(QColor(0xFF, 0xE0, 0x90))
                   : outside ? QVariant(QColor(0xC8, 0xDC, 0xF4))
                             : QVariant();
        default:
            return {};
        }
    }
    if (section < 0 || section >= data_->rows.columnCount())
        return {};
    if (role == Qt::DisplayRole)
        return data_->rows.columns()[std::size_t(section)].name;
    if (role == Qt::ToolTipRole) {
        const QString reason = writer_ ? writer_->columnReadOnlyReason(section) : QString();
        return reason.isEmpty() ? QVariant() : QVariant(reason);
    }
    return {};
}

Qt::ItemFlags RecordsetModel::flags(const QModelIndex& index) const {
    const int row = index.isValid() ? storedRow(index.row()) : -1;
    if (row < 0)
        return line_ && index.row() == order_.count() ? line_->flags(index.column())
                                                      : Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (writer_ && writer_->canWrite(row, index.column()))
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool RecordsetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    // A second commit of the same edit while the first one's message is up is dropped.
    const int row = index.isValid() && data_ ? storedRow(index.row()) : -1;
    if (role == Qt::EditRole && row < 0 && line_ && index.row() == order_.count() && !writing_) {
        line_->setValue(index.column(), value);
        emit dataChanged(index, index);
        return true;
    }
    if (role != Qt::EditRole || row < 0 || writing_)
        return false;
    const db::CellValue cell =
        value.isValid() ? db::CellValue(value.toString().toUtf8().toStdString()) : db::CellValue();
    writing_ = true;
    const auto storedValue = [&] {
        return data_->rows.isNull(row, index.column())
                   ? db::CellValue()
                   : db::CellValue(std::string(data_->rows.bytes(row, index.column())));
    };
    const db::CellValue before = storedValue();
    db::RowWriter& rowWriter = writer();
    const db::CellWriteResult result =
        db::complete(rowWriter, rowWriter.begin(row, index.column(), cell), runner_);
    if (uncountTwins(row))
        twinMarksMoved_ = true;
    countTwins(row);
    twinMarksChanged();
    // The whole row may have been read again, whatever the outcome.
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), columnCount() - 1));
    if (result.status != db::WriteStatus::Written && onFailure_)
        onFailure_(result.message);
    if (result.status == db::WriteStatus::Written && onWritten_ && storedValue() != before)
        onWritten_(row, index.column(), before, storedValue());
    writing_ = false;
    if (result.status == db::WriteStatus::Written)
        recheckFilter({row});
    return result.status == db::WriteStatus::Written;
}

QString RecordsetModel::readOnlyReason() const {
    return writer().readOnlyReason();
}

QString RecordsetModel::cellReadOnlyReason(const QModelIndex& index) const {
    const int row = index.isValid() && data_ ? storedRow(index.row()) : -1;
    if (row < 0)
        return {};
    if (const QString reason = writer().readOnlyReason(); !reason.isEmpty())
        return reason;
    if (QString reason = writer().cellReadOnlyReason(row, index.column()); !reason.isEmpty())
        return reason;
    return writer().permissionNote();
}

void RecordsetModel::setWriteRunner(WriteRunner runner) {
    runner_ = std::move(runner);
}

void RecordsetModel::setFailureHandler(std::function<void(const QString&)> handler) {
    onFailure_ = std::move(handler);
}

void RecordsetModel::setNewRowLine(NewRowLine* line) {
    if (line_) {
        beginRemoveRows({}, order_.count(), order_.count());
        line_ = nullptr;
        endRemoveRows();
    }
    if (line) {
        beginInsertRows({}, order_.count(), order_.count());
        line_ = line;
        endInsertRows();
    }
}

db::CellWriteResult RecordsetModel::runWrite(const std::function<db::CellWriteResult()>& talk) {
    writing_ = true;
    db::CellWriteResult result = runner_ ? runner_(talk) : talk();
    writing_ = false;
    return result;
}

void RecordsetModel::storedRowsChanged(const std::vector<int>& storedRows) {
    for (int stored : storedRows) {
        if (uncountTwins(stored))
            twinMarksMoved_ = true;
        countTwins(stored);
    }
    twinMarksChanged();
    for (int stored : storedRows)
        if (const int view = viewRow(stored); view >= 0)
            emit dataChanged(index(view, 0), index(view, columnCount() - 1));
    recheckFilter(storedRows);
}

void RecordsetModel::recheckFilter(const std::vector<int>& storedRows) {
    if (!data_ || data_->filter.empty() || !writer_ || storedRows.empty())
        return;
    const db::FilterRecheck recheck(*data_, writer_->keys(), storedRows);
    const std::vector<int> asked = recheck.rows();
    if (asked.empty())
        return;
    std::vector<int> outside;
    bool answered = false;
    const int timeout = writer_->writeTimeout();
    runWrite([&] {
        try {
            outside = recheck.run(timeout);
            answered = true;
        } catch (const db::DbError&) {
            // Unknown: the rows keep their marks as they were.
        }
        return db::CellWriteResult{};
    });
    if (!answered)
        return;
    for (int stored : asked) {
        const bool now = std::find(outside.begin(), outside.end(), stored) != outside.end();
        if (now == outsideFilter(stored))
            continue;
        if (now)
            outsideFilter_.insert(stored);
        else
            outsideFilter_.erase(stored);
        if (const int view = viewRow(stored); view >= 0)
            emit headerDataChanged(Qt::Vertical, view, view);
    }
}

int RecordsetModel::twinCount(int storedRow) const {
    if (!twinsTracked_ || storedRow < 0 || std::size_t(storedRow) >= rowHashes_.size() ||
        rowHashes_[std::size_t(storedRow)] == 0)
        return 0;
    return twinCounts_.count(rowHashes_[std::size_t(storedRow)]);
}

void RecordsetModel::trackTwins() {
    if (twinsTracked_ || !data_ || !writer_ || !writer_->keys().primaryKey.empty() ||
        !writer_->keys().uniqueKeys.empty() || !writer_->readOnlyReason().isEmpty())
        return;
    twinsTracked_ = true;
    twinCounts_.reserve(std::size_t(order_.count()));
    if (order_.identity())
        countTwins(0, order_.count() - 1);
    else
        for (int v = 0; v < order_.count(); ++v)
            countTwins(order_.stored(v));
    twinMarksMoved_ = true;
    twinMarksChanged();
}

void RecordsetModel::countTwins(int storedRow) { // a row shown
    if (!twinsTracked_)
        return;
    if (rowHashes_.size() <= std::size_t(storedRow))
        rowHashes_.resize(std::max(std::size_t(storedRow) + 1, rowHashes_.size() * 2), 0);
    const std::uint64_t hash = db::rowHash(data_->rows, storedRow);
    rowHashes_[std::size_t(storedRow)] = hash;
    if (twinCounts_.add(hash) == 2)
        twinMarksMoved_ = true; // the row it now twins shows elsewhere
}

void RecordsetModel::countTwins(int first, int last) {
    if (!twinsTracked_ || last < first)
        return;
    if (rowHashes_.size() <= std::size_t(last))
        rowHashes_.resize(std::max(std::size_t(last) + 1, rowHashes_.size() * 2), 0);
    data_->rows.hashRows(first, last - first + 1, rowHashes_.data() + first);
    for (int row = first; row <= last; ++row)
        if (twinCounts_.add(rowHashes_[std::size_t(row)]) == 2)
            twinMarksMoved_ = true;
}

bool RecordsetModel::uncountTwins(int storedRow) {
    if (!twinsTracked_ || std::size_t(storedRow) >= rowHashes_.size() ||
        rowHashes_[std::size_t(storedRow)] == 0)
        return false;
    const std::uint64_t hash = std::exchange(rowHashes_[std::size_t(storedRow)], 0);
    return twinCounts_.remove(hash) == 1;
}

void RecordsetModel::twinMarksChanged() {
    // Only a view knows which rows it shows: telling it about every row would cost each
    // batch of a long read a look through all the rows read so far.
    if (std::exchange(twinMarksMoved_, false) && order_.count() > 0)
        emit twinMarksMoved();
}

} // namespace model
