#include "pages/editor/rememberedfilter.h"

#include "app/settingsstore.h"
#include "app/viewsettings.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace pages {
namespace {

const QString kSection = QStringLiteral("Filters");

QString keyFor(const QString& place) {
    return QString::fromLatin1(
        QCryptographicHash::hash(place.toUtf8(), QCryptographicHash::Sha1).toHex());
}

} // namespace

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
    if (conditions.isEmpty())
        app::DeleteSetting(app::ViewSettingsKey, kSection, keyFor(place));
    else
        app::SaveSetting(
            app::ViewSettingsKey, kSection, keyFor(place),
            QString::fromUtf8(QJsonDocument(conditions).toJson(QJsonDocument::Compact)));
}

} // namespace pages
