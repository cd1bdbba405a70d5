#include "db/connect/provider.h"

#include "db/connect/connection.h"
#include "db/connect/sessionfacts.h"
#include "db/odbc/dberror.h"
#include "db/odbc/odbc.h"

#include <map>
#include <mutex>

namespace db {
namespace {

// The login record of TDS 5.0 holds the user name and the password in fields of 30
// bytes; the driver cuts longer values short without a word.
constexpr qsizetype kLoginFieldBytes = 30;

[[noreturn]] void refuse(const QString& text) {
    throw DbError(text, QStringLiteral("HY024"));
}

void checkLoginField(const QString& property, const QString& value) {
    if (value.toUtf8().size() > kLoginFieldBytes)
        refuse(QStringLiteral("The %1 is longer than %2 bytes, which a TDS 5.0 login cannot "
                              "carry; it was not sent.")
                   .arg(property)
                   .arg(kLoginFieldBytes));
}

// The text without the blanks and tabs before and after it.
QString withoutBlanksAround(const QString& text) {
    const auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    qsizetype first = 0;
    qsizetype end = text.size();
    while (first < end && blank(text[first]))
        ++first;
    while (end > first && blank(text[end - 1]))
        --end;
    return text.mid(first, end - first);
}

// Adaptive Server through the FreeTDS ODBC driver, TDS 5.0.
class AseProvider : public Provider {
  public:
    QString odbcConnectionString(const ConnectionProperties& properties) const override {
        // "host:port": the port follows the last colon (a host may hold colons itself).
        const QString dataSource = properties.value(QStringLiteral("Data Source"));
        const qsizetype colon = dataSource.lastIndexOf(QLatin1Char(':'));
        const QString host = colon < 0 ? dataSource : dataSource.left(colon);
        const QString typedPort = colon < 0 ? QString() : dataSource.mid(colon + 1);
        // The driver reads "host\name" as a named instance and "host,port" as a port of
        // its own; it reads a port up to its first non-digit. Each would reach another
        // server than the one given.
        if (host.contains(QLatin1Char('\\')) || host.contains(QLatin1Char(',')))
            refuse(QStringLiteral("The server name \"%1\" holds a character that the driver "
                                  "reads as part of an address.")
                       .arg(host));
        // Blanks around the digits reach the port the digits name, as the driver skips
        // them too; anything else beside or between them would reach another port (or
        // none), so it is refused. The driver is given the digits alone.
        const QString port = withoutBlanksAround(typedPort);
        bool numeric = !port.isEmpty();
        for (const QChar c : port)
            numeric = numeric && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        if (!numeric || port.toInt() < 1 || port.toInt() > 65535)
            refuse(
                QStringLiteral("The port \"%1\" is not a number from 1 to 65535.").arg(typedPort));

        const QString user = properties.value(QStringLiteral("User Id"));
        const QString password = properties.value(QStringLiteral("Password"));
        // Without a user name the driver would try a Kerberos login in its place, with the
        // server's name as the service principal; this program offers no Kerberos login.
        if (user.isEmpty())
            refuse(QStringLiteral("The user name is empty; a login needs one."));
        checkLoginField(QStringLiteral("user name"), user);
        checkLoginField(QStringLiteral("password"), password);

        QString text = QStringLiteral("Driver=FreeTDS;");
        text += odbcBraced(QStringLiteral("Server"), host, QStringLiteral("server name"));
        text += odbcBraced(QStringLiteral("Port"), port);
        text += odbcBraced(QStringLiteral("UID"), user, QStringLiteral("user name"));
        text += odbcBraced(QStringLiteral("PWD"), password, QStringLiteral("password"));
        const QString database = properties.value(QStringLiteral("Catalog"));
        if (!database.isEmpty())
            text += odbcBraced(QStringLiteral("Database"), database, QStringLiteral("database"));
        text += QStringLiteral("APP=Quorvane;ClientCharset=UTF-8;");
        // Texts whole: without it the server cuts text and image values at its default of
        // 32,768 bytes, and the driver reads no configuration file for a string like this.
        text += QStringLiteral("TextSize=2147483647;");
        // The password never travels in clear: the driver leaves both password fields of
        // the login record empty and sends it encrypted with the key the server offers.
        // A server that offers no exchange the driver can do refuses the login; there is
        // no second, clear attempt.
        text += QStringLiteral("Encryption=require;");
        // Pinned: left to itself the driver probes other protocol versions and can hang.
        // Last, unbraced: the driver keeps the closing brace of a braced value that ends
        // the string.
        text += QStringLiteral("TDS_Version=5.0");
        return text;
    }

    // Before any work: the session unchained, and what the server granted learnt.
    void afterConnect(odbc::DriverConnection& connection) const override {
        connection.setSessionFacts(learnSessionFacts(connection, kDefaultCommandTimeout));
    }
};

struct Registry {
    std::mutex mutex;
    std::map<QString, std::shared_ptr<const Provider>> providers;
    Registry() { reset(); }
    void reset() {
        providers.clear();
        providers[QStringLiteral("ASEOLEDB")] = std::make_shared<AseProvider>();
    }
};

Registry& registry() {
    static Registry instance;
    return instance;
}

} // namespace

QString odbcBraced(const QString& key, const QString& value, const QString& property) {
    // The driver reads a braced value up to the first "};" and does not unescape "}}",
    // so a value holding "};" cannot reach it unchanged; a NUL would end it early.
    // Refuse such a value rather than send something else.
    const bool nul = value.contains(QChar(u'\0'));
    if (nul || value.contains(QStringLiteral("};"))) {
        const QString what = nul ? QStringLiteral("\\0") : QStringLiteral("};");
        refuse(QStringLiteral("The %1 holds \"%2\", which the driver cannot receive unchanged; "
                              "it was not sent.")
                   .arg(property.isEmpty() ? key : property, what));
    }
    return key + QStringLiteral("={") + value + QStringLiteral("};");
}

void registerProvider(const QString& name, std::shared_ptr<const Provider> provider) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.providers[name.toUpper()] = std::move(provider);
}

std::shared_ptr<const Provider> findProvider(const QString& name) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    const auto found = r.providers.find(name.toUpper());
    if (found == r.providers.end())
        throw DbError(QStringLiteral("Provider cannot be found. It may not be properly installed."),
                      QStringLiteral("IM002"));
    return found->second;
}

void restoreDefaultProviders() {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.reset();
}

} // namespace db
