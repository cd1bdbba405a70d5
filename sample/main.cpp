#include "app/mainmodule.h"
#include "app/settingsstore.h"
#include "db/odbc/dberror.h"
#include "pages/program.h"
#include "sample/samplesettings.h"

#include <QApplication>
#include <cstdio>

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
    return pages::runProgram(application, app::ProgramKind::Sample, [&] {
        try {
            // Every start: the port may differ from the last one when another program
            // holds the preferred port.
            if (server)
                sample::storeConnectionValues(server->port());
        } catch (...) {
            // An unreadable store shows at start-up like any other.
        }
    });
}
