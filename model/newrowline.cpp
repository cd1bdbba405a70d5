#include "model/newrowline.h"

#include <QBrush>
#include <QPalette>
#include <algorithm>

namespace model {

const QString NewRowLine::Mark = QStringLiteral("*");

bool NewRowLine::typed() const {
    return std::any_of(values_.begin(), values_.end(), [](const auto& v) { return v.has_value(); });
}

QVariant NewRowLine::data(int column, int role) const {
    if (column < 0 || std::size_t(column) >= values_.size())
        return {};
    const std::optional<db::CellValue>& value = values_[std::size_t(column)];
    const QString reason = inserter_.columnReason(column);
    switch (role) {
    case Qt::DisplayRole:
        if (value)
            return *value ? QString::fromStdString(**value) : QStringLiteral("NULL");
        if (inserter_.filledByServer(column))
            return QStringLiteral("(filled by the server)");
        if (!reason.isEmpty())
            return QStringLiteral("(cannot be typed)");
        return inserter_.needsValue(column) ? QStringLiteral("(needs a value)") : QString();
    case Qt::EditRole:
        return value && *value ? QString::fromStdString(**value) : QString();
    case Qt::ForegroundRole:
        if (!value)
            return QBrush(QPalette().color(QPalette::Disabled, QPalette::Text));
        return {};
    case Qt::ToolTipRole:
        if (!reason.isEmpty())
            return reason;
        if (inserter_.needsValue(column))
            return QStringLiteral("A new row needs a value here: the column does not allow "
                                  "NULL (unless the table gives it a default).");
        return QStringLiteral("Left empty, the server fills in the column's default or NULL.");
    default:
        return {};
    }
}

QVariant NewRowLine::headerData(int role) const {
    if (role == Qt::DisplayRole)
        return Mark;
    if (role == Qt::ToolTipRole)
        return QStringLiteral("Type a new row here; it is added to the table when you leave "
                              "the line (Esc drops it).");
    return {};
}

Qt::ItemFlags NewRowLine::flags(int column) const {
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (inserter_.columnReason(column).isEmpty())
        flags |= Qt::ItemIsEditable;
    return flags;
}

void NewRowLine::setValue(int column, const QVariant& value) {
    if (column < 0 || std::size_t(column) >= values_.size())
        return;
    const QString text = value.toString();
    if (value.isValid() && text.isEmpty() && !values_[std::size_t(column)])
        return; // an editor opened and left empty types nothing
    values_[std::size_t(column)] =
        value.isValid() ? db::CellValue(text.toUtf8().toStdString()) : db::CellValue();
}

} // namespace model
