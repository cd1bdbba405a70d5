#include "db/read/tablename.h"

namespace db {
namespace {

const QString kSelectPrefix = QStringLiteral("SELECT * FROM ");

// Reads one "[...]" at `at`; moves `at` past it. Nothing for a bracket that never closes
// or an empty name.
std::optional<QString> readBracketed(const QString& text, qsizetype& at) {
    if (at >= text.size() || text[at] != QLatin1Char('['))
        return std::nullopt;
    QString name;
    for (qsizetype i = at + 1; i < text.size(); ++i) {
        if (text[i] != QLatin1Char(']')) {
            name += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == QLatin1Char(']')) {
            name += QLatin1Char(']');
            ++i;
            continue;
        }
        at = i + 1;
        if (name.isEmpty())
            return std::nullopt;
        return name;
    }
    return std::nullopt;
}

} // namespace

QString bracketed(const QString& identifier) {
    QString escaped = identifier;
    escaped.replace(QLatin1Char(']'), QLatin1String("]]"));
    return QLatin1Char('[') + escaped + QLatin1Char(']');
}

QString TableName::sql() const {
    return owner.isEmpty() ? bracketed(name)
                           : bracketed(owner) + QLatin1Char('.') + bracketed(name);
}

QString TableName::shown() const {
    return owner.isEmpty() ? name : owner + QLatin1Char('.') + name;
}

QString tableQuery(const TableName& table) {
    return kSelectPrefix + table.sql();
}

std::optional<TableName> tableNameFromSource(const QString& source) {
    if (!source.startsWith(kSelectPrefix))
        return std::nullopt;
    qsizetype at = kSelectPrefix.size();
    std::optional<QString> first = readBracketed(source, at);
    if (!first)
        return std::nullopt;
    if (at == source.size())
        return TableName{QString(), *first};
    if (source[at] != QLatin1Char('.'))
        return std::nullopt;
    ++at;
    std::optional<QString> second = readBracketed(source, at);
    if (!second || at != source.size())
        return std::nullopt;
    return TableName{*first, *second};
}

bool bareNameLeadsTo(const QString& owner, const QString& user, bool userHasOne) {
    if (!user.isEmpty() && owner.compare(user, Qt::CaseInsensitive) == 0)
        return true;
    return owner.compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0 && !userHasOne;
}

} // namespace db
