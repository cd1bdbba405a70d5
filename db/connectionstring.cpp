#include "db/connectionstring.h"

#include "db/dberror.h"

namespace db {

ConnectionProperties ConnectionProperties::parse(const QString& text) {
    ConnectionProperties result;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        // One element: key up to "=", then a plain value up to ";" or a quoted value.
        const qsizetype semicolon = text.indexOf(QLatin1Char(';'), i);
        const qsizetype equals = text.indexOf(QLatin1Char('='), i);
        if (equals < 0 || (semicolon >= 0 && semicolon < equals)) {
            const qsizetype end = semicolon < 0 ? n : semicolon;
            if (!text.mid(i, end - i).trimmed().isEmpty())
                throw DbError(QStringLiteral("Format of the initialization string does not "
                                             "conform to specification starting at index %1.")
                                  .arg(i));
            i = end + 1;
            continue;
        }
        const QString key = text.mid(i, equals - i).trimmed();
        qsizetype j = equals + 1;
        QString value;
        if (j < n && text.at(j) == QLatin1Char('"')) {
            ++j;
            bool closed = false;
            while (j < n) {
                if (text.at(j) == QLatin1Char('"')) {
                    if (j + 1 < n && text.at(j + 1) == QLatin1Char('"')) {
                        value += QLatin1Char('"');
                        j += 2;
                        continue;
                    }
                    closed = true;
                    ++j;
                    break;
                }
                value += text.at(j++);
            }
            if (!closed || (j < n && text.at(j) != QLatin1Char(';')))
                throw DbError(QStringLiteral("Format of the initialization string does not "
                                             "conform to specification starting at index %1.")
                                  .arg(equals + 1));
            i = j + 1;
        } else {
            const qsizetype end = semicolon < 0 ? n : semicolon;
            value = text.mid(j, end - j);
            i = end + 1;
        }
        result.items_.emplace_back(key, value);
    }
    return result;
}

bool ConnectionProperties::contains(const QString& key) const {
    for (const auto& [k, v] : items_)
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString ConnectionProperties::value(const QString& key) const {
    QString found;
    for (const auto& [k, v] : items_)
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            found = v;
    return found;
}

QString quoteConnectionValue(const QString& value) {
    const bool needsQuotes = value.contains(QLatin1Char(';')) ||
                             value.startsWith(QLatin1Char('"')) ||
                             value.startsWith(QLatin1Char('\'')) ||
                             value.startsWith(QLatin1Char(' ')) || value.endsWith(QLatin1Char(' '));
    if (!needsQuotes)
        return value;
    QString quoted = value;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace db
