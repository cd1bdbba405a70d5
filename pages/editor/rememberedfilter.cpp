#include "pages/editor/rememberedfilter.h"

#include "app/settingsstore.h"
#include "app/viewsettings.h"
#include "db/connect/connectionstate.h"
#include "db/read/recordset.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <map>

namespace pages {
namespace {

const QString kSection = QStringLiteral("Filters");

// The key=value pairs of an ODBC connection string (values may be braced, "}}" a brace).
std::map<QString, QString> odbcValues(const QString& text) {
    std::map<QString, QString> values;
    qsizetype at = 0;
    while (at < text.size()) {
        const qsizetype equals = text.indexOf(QLatin1Char('='), at);
        if (equals < 0)
            break;
        const QString key = text.mid(at, equals - at).trimmed().toLower();
        QString value;
        at = equals + 1;
        if (at < text.size() && text[at] == QLatin1Char('{')) {
            for (++at; at < text.size(); ++at) {
                if (text[at] == QLatin1Char('}')) {
                    if (at + 1 < text.size() && text[at + 1] == QLatin1Char('}')) {
                        value += QLatin1Char('}');
                        ++at;
                        continue;
                    }
                    ++at;
                    break;
                }
                value += text[at];
            }
            const qsizetype end = text.indexOf(QLatin1Char(';'), at);
            at = end < 0 ? text.size() : end + 1;
        } else {
            const qsizetype end = text.indexOf(QLatin1Char(';'), at);
            value = text.mid(at, (end < 0 ? text.size() : end) - at);
            at = end < 0 ? text.size() : end + 1;
        }
        values[key] = value;
    }
    return values;
}

QString keyFor(const QString& place) {
    return QString::fromLatin1(
        QCryptographicHash::hash(place.toUtf8(), QCryptographicHash::Sha1).toHex());
}

} // namespace

QString filterPlace(const db::RecordsetData& rows) {
    if (!rows.connection)
        return {};
    std::map<QString, QString> values = odbcValues(rows.connection->odbcString);
    return values[QStringLiteral("server")] + QLatin1Char(':') + values[QStringLiteral("port")] +
           QLatin1Char('/') + values[QStringLiteral("database")] + QLatin1Char('/') + rows.source;
}

db::Filter rememberedFilter(const QString& place, const QStringList& columns) {
    db::Filter filter;
    if (place.isEmpty())
        return filter;
    QString saved;
    try {
        saved = app::GetSetting(app::ViewSettingsKey, kSection, keyFor(place));
    } catch (...) {
        return filter; // a store that cannot be read: nothing is offered
    }
    const QJsonArray conditions = QJsonDocument::fromJson(saved.toUtf8()).array();
    for (const QJsonValue& each : conditions) {
        const QJsonObject object = each.toObject();
        db::FilterCondition condition;
        condition.column = int(columns.indexOf(object.value(QStringLiteral("column")).toString()));
        const int op = object.value(QStringLiteral("op")).toInt(-1);
        if (condition.column < 0 || op < 0 || op > int(db::FilterOp::IsNotNull))
            continue;
        condition.op = db::FilterOp(op);
        condition.value = object.value(QStringLiteral("value")).toString();
        filter.conditions.push_back(condition);
    }
    return filter;
}

void rememberFilter(const QString& place, const db::Filter& filter, const QStringList& columns) {
    if (place.isEmpty())
        return;
    QJsonArray conditions;
    for (const db::FilterCondition& condition : filter.conditions) {
        if (condition.column < 0 || condition.column >= columns.size())
            continue;
        conditions.append(QJsonObject{{QStringLiteral("column"), columns[condition.column]},
                                      {QStringLiteral("op"), int(condition.op)},
                                      {QStringLiteral("value"), condition.value}});
    }
    try {
        app::SaveSetting(
            app::ViewSettingsKey, kSection, keyFor(place),
            conditions.isEmpty()
                ? QString()
                : QString::fromUtf8(QJsonDocument(conditions).toJson(QJsonDocument::Compact)));
    } catch (...) {
        // A store that cannot be written: the filter is not remembered.
    }
}

} // namespace pages
