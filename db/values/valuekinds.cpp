#include "db/values/valuekinds.h"

#include "db/values/sqltypes.h"

#include <QRegularExpression>

namespace db::values {

Kind kindOf(const ColumnType& c) {
    const QString name = c.typeName.toLower();
    if (c.info.binary)
        return Kind::Binary;
    // A declared exact type (money included) wins over the code the driver describes it by.
    if (name.startsWith(QLatin1String("numeric")) || name.startsWith(QLatin1String("decimal")) ||
        name.contains(QLatin1String("money")))
        return Kind::Exact;
    const sqltypes::SqlType type = sqltypes::classify(c.info.sqlType);
    switch (type.family) {
    case sqltypes::Family::Text:
        return type.wide ? Kind::WideText : type.fixed ? Kind::FixedText : Kind::Text;
    case sqltypes::Family::Integer:
        return Kind::Integer;
    case sqltypes::Family::Bit:
        return Kind::Bit;
    case sqltypes::Family::Decimal:
        return Kind::Exact;
    case sqltypes::Family::Approximate:
        return Kind::Approximate;
    case sqltypes::Family::Date:
        return Kind::Date;
    case sqltypes::Family::Time:
        return Kind::Time;
    case sqltypes::Family::Stamp:
        return Kind::Stamp;
    case sqltypes::Family::Binary:
    case sqltypes::Family::Other:
        break;
    }
    return Kind::Text;
}

QString text(const CellValue& v) {
    return QString::fromUtf8(v->data(), qsizetype(v->size()));
}

// Precision and scale from "numeric(10,2)", else from the description.
std::pair<int, int> precisionScale(const ColumnType& c) {
    static const QRegularExpression ps(QStringLiteral("\\(\\s*(\\d+)\\s*(?:,\\s*(\\d+)\\s*)?\\)"));
    const QString name = c.typeName.toLower();
    if (name.startsWith(QLatin1String("smallmoney")))
        return {10, 4};
    if (name.startsWith(QLatin1String("money")))
        return {19, 4};
    if (const auto m = ps.match(name); m.hasMatch())
        return {m.captured(1).toInt(), m.captured(2).toInt()};
    if (sqltypes::classify(c.info.sqlType).family == sqltypes::Family::Decimal)
        return {int(c.info.size), c.info.decimalDigits};
    return {38, 0};
}

const QRegularExpression& decimalPattern() {
    static const QRegularExpression p(QStringLiteral("^([+-]?)(\\d*)(?:\\.(\\d*))?$"));
    return p;
}

// "-007.50" -> "-7.5"; nothing for text that is not a plain decimal number.
std::optional<QString> normalDecimal(const QString& t) {
    const auto m = decimalPattern().match(t.trimmed());
    if (!m.hasMatch() || (m.captured(2).isEmpty() && m.captured(3).isEmpty()))
        return std::nullopt;
    QString whole = m.captured(2);
    QString fraction = m.captured(3);
    while (whole.startsWith(QLatin1Char('0')))
        whole.remove(0, 1);
    while (fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    if (whole.isEmpty() && fraction.isEmpty())
        return QStringLiteral("0");
    QString out = (m.captured(1) == QLatin1String("-") ? QStringLiteral("-") : QString()) +
                  (whole.isEmpty() ? QStringLiteral("0") : whole);
    return fraction.isEmpty() ? out : out + QLatin1Char('.') + fraction;
}

// "2024-02-29" (or "2024-2-29"), "2024-02-29 13:45[:30[.500]]" (or with a "T" between),
// "13:45[:30[.5]]"; nothing when it is not a real date and time in one of those forms.
// Year first always: a form with the day or month first would need a guess.
std::optional<Moment> parseMoment(const QString& t, bool wantDate, bool wantTime) {
    static const QRegularExpression p(
        QStringLiteral("^(?:(\\d{4})-(\\d{1,2})-(\\d{1,2})(?:[ T](?=\\d)|$))?"
                       "(?:(\\d{1,2}):(\\d{2})(?::(\\d{2})(?:\\.(\\d{1,9}))?)?)?$"));
    const auto m = p.match(t.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const bool hasDate = !m.captured(1).isEmpty();
    const bool hasTime = !m.captured(4).isEmpty();
    if ((wantDate && !hasDate) || (!wantDate && hasDate) || (!wantTime && hasTime) ||
        (!hasDate && !hasTime))
        return std::nullopt;
    Moment moment;
    if (hasDate) {
        moment.date = QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        if (!moment.date.isValid())
            return std::nullopt;
    }
    moment.time = QTime(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (!moment.time.isValid())
        return std::nullopt;
    moment.fraction = m.captured(7);
    while (moment.fraction.endsWith(QLatin1Char('0')))
        moment.fraction.chop(1);
    moment.hasDate = hasDate;
    moment.hasTime = hasTime;
    return moment;
}

QString Moment::text() const {
    QString out;
    if (hasDate)
        out = date.toString(QStringLiteral("yyyy-MM-dd"));
    if (hasTime) {
        if (hasDate)
            out += QLatin1Char(' ');
        out += time.toString(QStringLiteral("HH:mm:ss"));
        if (!fraction.isEmpty())
            out += QLatin1Char('.') + fraction;
    }
    return out;
}

} // namespace db::values
