#include "app/mainmodule.h"
#include "app/settingsstore.h"
#include "db/dberror.h"
#include "pages/program.h"
#include "sample/provider/sampleprovider.h"

#include <QApplication>
#include <cstdio>

namespace {

// On the first start the sample's own store gets the values that log in to it.
void seedSettings() {
    const QString missing = QStringLiteral("\x01");
    if (app::GetSetting(app::ApplicationKey, app::ProductName, QStringLiteral("Server"), missing) !=
        missing)
        return;
    app::SaveSetting(app::ApplicationKey, app::ProductName, QStringLiteral("Server"),
                     QLatin1String(sample::kServer));
    app::SaveSetting(app::ApplicationKey, app::ProductName, QStringLiteral("Port"),
                     QLatin1String(sample::kPort));
    app::SaveSetting(app::ApplicationKey, app::ProductName, QStringLiteral("User"),
                     QLatin1String(sample::kUser));
    app::SaveSetting(app::ApplicationKey, app::ProductName, QStringLiteral("Password"),
                     QLatin1String(sample::kPassword));
    app::SaveSetting(app::ApplicationKey, app::ProductName, QStringLiteral("Database"),
                     QLatin1String(sample::kDatabase));
}

} // namespace

// The program over the bundled sample database: the same pages and start-up, its own
// settings, and the sample provider answering for ASE.
int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    try {
        sample::ensureSampleDatabase();
    } catch (const db::DbError& e) {
        std::fprintf(stderr, "quorvane-sample: the sample database could not be created: %s\n",
                     e.what());
    }
    sample::installSampleProvider();
    return pages::runProgram(application, app::ProgramKind::Sample, [] {
        try {
            seedSettings();
        } catch (...) {
            // An unreadable store shows at start-up like any other.
        }
    });
}
