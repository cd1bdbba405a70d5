#include "app/mainmodule.h"
#include "app/settingsstore.h"
#include "app/startup.h"
#include "db/dberror.h"
#include "sample/sampleserver.h"

#include <QApplication>
#include <cstdio>

namespace {

// On every start the store gets the values that log in to this start's server: its port
// may differ from the last one when another program holds the preferred port.
void storeSettings(quint16 port) {
    const std::pair<const char*, QString> values[] = {
        {"Server", QLatin1String(sample::kServer)},
        {"Port", QString::number(port)},
        {"User", QLatin1String(sample::kUser)},
        {"Password", QLatin1String(sample::kPassword)},
        {"Database", QLatin1String(sample::kDatabase)}};
    for (const auto& [key, value] : values)
        app::SaveSetting(app::ApplicationKey, app::ProductName, QString::fromLatin1(key), value);
}

} // namespace

// The program over the bundled sample database: the same pages and start-up, its own
// settings, and the test server on 127.0.0.1 answering for Adaptive Server through the
// real provider and driver.
int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    try {
        sample::ensureSampleDatabase();
    } catch (const db::DbError& e) {
        std::fprintf(stderr, "quorvane-sample: the sample database could not be created: %s\n",
                     e.what());
    }
    std::unique_ptr<tds::Server> server;
    try {
        server = sample::startServer(sample::defaultSampleFolder(),
                                     quint16(QByteArray(sample::kPort).toUShort()));
    } catch (const std::exception& e) {
        // The connection page then shows that nothing answers.
        std::fprintf(stderr, "quorvane-sample: the sample server could not start: %s\n", e.what());
    }
    return app::runProgram(application, app::ProgramKind::Sample, [&] {
        try {
            if (server)
                storeSettings(server->port());
        } catch (...) {
            // An unreadable store shows at start-up like any other.
        }
    });
}
