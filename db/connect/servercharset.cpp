#include "db/connect/servercharset.h"

#include "db/connect/connectionstate.h"
#include "db/dialect/tsql.h"
#include "db/odbc/odbc.h"
#include "db/write/boundquery.h"

#include <QRegularExpression>

#include <cerrno>
#include <iconv.h>
#include <map>

namespace db {
namespace {

// The converters this thread has opened, one per set, closed when the thread ends.
// A converter keeps state between calls, so threads do not share one.
class Converters {
  public:
    ~Converters() {
        for (const auto& [name, converter] : open_)
            iconv_close(converter);
    }
    // A converter from UTF-8 into the set; nothing when the system has none.
    std::optional<iconv_t> from8(const QByteArray& name) {
        if (const auto found = open_.find(name); found != open_.end())
            return found->second;
        const iconv_t converter = iconv_open(name.constData(), "UTF-8");
        if (converter == iconv_t(-1))
            return std::nullopt;
        return open_.emplace(name, converter).first->second;
    }

  private:
    std::map<QByteArray, iconv_t> open_;
};

Converters& converters() {
    thread_local Converters instance;
    return instance;
}

// The system's name of a set Adaptive Server names `name`, after the driver's own
// table of aliases (FreeTDS's encodings.pl).
QByteArray systemName(const QString& name) {
    static const std::map<QString, QByteArray> known = {
        {QStringLiteral("iso646"), "ANSI_X3.4-1968"}, {QStringLiteral("koi8"), "KOI8-R"},
        {QStringLiteral("mac"), "MACINTOSH"},         {QStringLiteral("mac_cyr"), "MACCYRILLIC"},
        {QStringLiteral("macturk"), "MACTURKISH"},    {QStringLiteral("roman8"), "HP-ROMAN8"},
        {QStringLiteral("sjis"), "SHIFT_JIS"},        {QStringLiteral("eucjis"), "EUC-JP"},
        {QStringLiteral("eucgb"), "EUC-CN"},          {QStringLiteral("eucksc"), "EUC-KR"},
        {QStringLiteral("tis620"), "TIS-620"},
    };
    const QString lower = name.toLower();
    if (const auto found = known.find(lower); found != known.end())
        return found->second;
    // iso15, iso88592: ISO-8859-15, ISO-8859-2.
    static const QRegularExpression iso(QStringLiteral("^iso(?:8859)?(\\d{1,2})$"));
    if (const auto m = iso.match(lower); m.hasMatch())
        return "ISO-8859-" + m.captured(1).toLatin1();
    return lower.toUpper().toLatin1();
}

// The character at the start of `utf8`.
QString firstCharacter(std::string_view utf8) {
    const QString text =
        QString::fromUtf8(utf8.data(), qsizetype(std::min<std::size_t>(4, utf8.size())));
    return text.isEmpty() ? QString() : text.left(text.at(0).isHighSurrogate() ? 2 : 1);
}

} // namespace

ServerCharset::ServerCharset(const QString& name) : name_(name) {
    const QString lower = name.toLower();
    if (lower == QLatin1String("utf8")) {
        kind_ = Kind::Utf8;
    } else if (lower == QLatin1String("iso_1") || lower == QLatin1String("ascii_8")) {
        kind_ = Kind::Latin1;
    } else {
        iconvName_ = systemName(name);
        kind_ = converters().from8(iconvName_) ? Kind::Other : Kind::Utf8;
    }
}

ServerCharset::Encoded ServerCharset::encode(std::string_view utf8) const {
    Encoded encoded;
    switch (kind_) {
    case Kind::Utf8:
        encoded.bytes = utf8.size();
        return encoded;
    case Kind::Latin1:
        for (std::size_t i = 0; i < utf8.size(); ++encoded.bytes) {
            const auto lead = std::uint8_t(utf8[i]);
            // Latin-1 is U+0000 to U+00FF: one byte, or two in UTF-8 led by C2 or C3.
            if (lead >= 0x80 && lead != 0xC2 && lead != 0xC3) {
                encoded.missing = firstCharacter(utf8.substr(i));
                return encoded;
            }
            i += lead < 0x80 ? 1 : 2;
        }
        return encoded;
    case Kind::Other:
        break;
    }
    const std::optional<iconv_t> converter = converters().from8(iconvName_);
    if (!converter) {
        encoded.bytes = utf8.size();
        return encoded;
    }
    iconv(*converter, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char buffer[256];
    while (true) {
        char* out = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t done = inLeft == 0 ? iconv(*converter, nullptr, nullptr, &out, &outLeft)
                                             : iconv(*converter, &in, &inLeft, &out, &outLeft);
        encoded.bytes += sizeof buffer - outLeft;
        if (done != std::size_t(-1) && inLeft == 0)
            return encoded;
        if (done == std::size_t(-1) && errno != E2BIG) {
            encoded.missing = firstCharacter(std::string_view(in, inLeft));
            return encoded;
        }
    }
}

ServerCharset askServerCharset(odbc::DriverConnection& connection, int timeoutSeconds) {
    odbc::Statement statement(connection);
    statement.setQueryTimeout(timeoutSeconds);
    statement.execDirect(tsql::kClientCharset);
    std::optional<QString> name;
    SQLSMALLINT columns = 0;
    odbc::check(SQLNumResultCols(statement.handle().get(), &columns), statement.handle(),
                "SQLNumResultCols");
    if (columns > 0 && odbc::check(SQLFetch(statement.handle().get()), statement.handle(),
                                   "SQLFetch", SQL_NO_DATA) != SQL_NO_DATA)
        name = readText(statement, 1);
    drainResults(statement);
    if (!name || name->trimmed().isEmpty())
        return {};
    return ServerCharset(name->trimmed());
}

ServerCharset serverCharset(ConnectionState& connection) {
    if (!connection.serverCharset) {
        try {
            connection.serverCharset =
                askServerCharset(connection.open(), connection.commandTimeout);
        } catch (const DbError&) {
            connection.serverCharset = ServerCharset();
        }
    }
    return *connection.serverCharset;
}

} // namespace db
