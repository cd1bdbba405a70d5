#include "db/connect/connectionstring.h"

#include "db/odbc/dberror.h"

namespace db {
namespace {

[[noreturn]] void malformed(qsizetype index) {
    throw DbError(QStringLiteral("The connection string is malformed from index %1 on.").arg(index),
                  QStringLiteral("08001"));
}

bool isQuote(QChar c) {
    return c == QLatin1Char('"') || c == QLatin1Char('\'');
}

qsizetype skipBlanks(const QString& text, qsizetype i) {
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    return i;
}

} // namespace

ConnectionProperties ConnectionProperties::parse(const QString& text) {
    ConnectionProperties result;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype start = i;
        const qsizetype semicolon = text.indexOf(QLatin1Char(';'), i);
        const qsizetype equals = text.indexOf(QLatin1Char('='), i);
        if (equals < 0 || (semicolon >= 0 && semicolon < equals)) {
            // No "=" in this element: only an empty element (";;") is allowed.
            const qsizetype end = semicolon < 0 ? n : semicolon;
            if (!text.mid(i, end - i).trimmed().isEmpty())
                malformed(start);
            i = end + 1;
            continue;
        }
        const QString key = text.mid(i, equals - i).trimmed();
        if (key.isEmpty())
            malformed(start);

        QString value;
        qsizetype j = skipBlanks(text, equals + 1);
        if (j < n && isQuote(text.at(j))) {
            // Quoted: the quote doubled stands for itself; ";" and blanks are plain text.
            const QChar quote = text.at(j++);
            bool closed = false;
            while (j < n) {
                const QChar c = text.at(j++);
                if (c != quote) {
                    value += c;
                } else if (j < n && text.at(j) == quote) {
                    value += quote;
                    ++j;
                } else {
                    closed = true;
                    break;
                }
            }
            j = skipBlanks(text, j);
            if (!closed || (j < n && text.at(j) != QLatin1Char(';')))
                malformed(start);
            i = j + 1;
        } else {
            // Plain: up to the next ";", without the blanks around it.
            const qsizetype end = semicolon < 0 ? n : semicolon;
            value = text.mid(equals + 1, end - equals - 1).trimmed();
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
    const bool needsQuotes =
        !value.isEmpty() && (value.contains(QLatin1Char(';')) || isQuote(value.front()) ||
                             value.front().isSpace() || value.back().isSpace());
    if (!needsQuotes)
        return value;
    QString quoted = value;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace db
