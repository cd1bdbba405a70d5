#include "db/provider.h"

#include "db/dberror.h"

#include <map>
#include <mutex>

namespace db {
namespace {

// Adaptive Server through the FreeTDS ODBC driver, TDS 5.0.
class AseProvider : public Provider {
  public:
    QString odbcConnectionString(const ConnectionProperties& properties) const override {
        // "host:port": the port follows the last colon (a host may hold colons itself).
        const QString dataSource = properties.value(QStringLiteral("Data Source"));
        const qsizetype colon = dataSource.lastIndexOf(QLatin1Char(':'));
        const QString host = colon < 0 ? dataSource : dataSource.left(colon);
        const QString port = colon < 0 ? QString() : dataSource.mid(colon + 1);

        QString text = QStringLiteral("Driver=FreeTDS;");
        text += odbcBraced(QStringLiteral("Server"), host);
        if (!port.isEmpty())
            text += odbcBraced(QStringLiteral("Port"), port);
        text += odbcBraced(QStringLiteral("UID"), properties.value(QStringLiteral("User Id")));
        text += odbcBraced(QStringLiteral("PWD"), properties.value(QStringLiteral("Password")));
        const QString database = properties.value(QStringLiteral("Catalog"));
        if (!database.isEmpty())
            text += odbcBraced(QStringLiteral("Database"), database);
        text += QStringLiteral("APP=Quorvane;ClientCharset=UTF-8;");
        // Pinned: left to itself the driver probes other protocol versions and can hang.
        // Last, unbraced: the driver keeps the closing brace of a braced value that ends
        // the string.
        text += QStringLiteral("TDS_Version=5.0");
        return text;
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

QString odbcBraced(const QString& key, const QString& value) {
    // The driver reads a braced value up to the first "};" and does not unescape "}}",
    // so a value holding "};" cannot reach it unchanged: refuse it rather than send
    // something else.
    if (value.contains(QStringLiteral("};")))
        throw DbError(QStringLiteral("The value of %1 holds \"};\", which the driver cannot "
                                     "receive unchanged.")
                          .arg(key),
                      QStringLiteral("HY024"));
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
