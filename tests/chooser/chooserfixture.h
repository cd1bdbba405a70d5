#pragma once

// One run of the wizard for a chooser test: a fake platform that can watch the event
// pump, a private sample server, the connection page loaded and filled with values that
// log in to `catalog`. The pages go when the fixture does.

#include "app/errorreport.h"
#include "pages/connection/form1.h"
#include "pages/wizard.h"
#include "support/connectionpage.h"
#include "support/fakeplatform.h"
#include "support/sampledb.h"

#include <QLineEdit>
#include <functional>

namespace chooser {

class WatchedPlatform : public testing::FakePlatform {
  public:
    void processEvents() override {
        if (onPump)
            onPump();
        FakePlatform::processEvents();
    }
    std::function<void()> onPump;
};

struct Fixture {
    explicit Fixture(const QString& catalog, const QStringList& statements) {
        auto platform = std::make_unique<WatchedPlatform>();
        fake = platform.get();
        previous = app::setPlatform(std::move(platform));
        server.createDatabase(catalog, statements);
        pages::form1().Load();
        setFields(catalog);
        fake->boxes.clear();
    }
    ~Fixture() {
        pages::resetPages();
        app::setPlatform(std::move(previous));
    }
    Fixture(const Fixture&) = delete;
    Fixture& operator=(const Fixture&) = delete;

    static void setFields(const QString& catalog) {
        testing::fillConnectionPage(testing::SampleServer::fields(catalog));
    }

    QStringList boxTexts() const {
        QStringList texts;
        for (const testing::ShownBox& box : fake->boxes)
            texts << box.text;
        return texts;
    }

    WatchedPlatform* fake = nullptr;
    std::unique_ptr<app::Platform> previous;
    testing::SampleServer server;
};

// The error report's text for a statement of a handler.
inline QString reportText(const char* object, const char* procedure, int line,
                          const QString& description) {
    return app::applicationErrorText(
        app::locationText(QString::fromLatin1(object), QString::fromLatin1(procedure)), line,
        description);
}

inline const QStringList kLabTables = {
    QStringLiteral("CREATE TABLE Physics (id int NOT NULL PRIMARY KEY, title varchar(255) NULL)"),
    QStringLiteral("INSERT INTO Physics VALUES (1, 'Optics'), (2, 'Mechanics')"),
    QStringLiteral("CREATE TABLE SYSLOG (x int NULL)"),
    QStringLiteral("CREATE TABLE \"Order Details\" (id int NOT NULL PRIMARY KEY, qty int NULL)"),
    QStringLiteral("INSERT INTO \"Order Details\" VALUES (7, 3)"),
    QStringLiteral("CREATE VIEW PhysicsView AS SELECT * FROM Physics"),
};

} // namespace chooser
