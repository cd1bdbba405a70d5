#include "pages/connection/form1.h"

#include "app/errorreport.h"
#include "app/lookandfeel.h"
#include "app/mainmodule.h"
#include "app/password.h"
#include "app/platform.h"
#include "app/settingsstore.h"
#include "db/connect/connectfailure.h"
#include "db/connect/connection.h"
#include "db/odbc/dberror.h"
#include "pages/chooser/form2.h"
#include "pages/wizard.h"

#include <QLineEdit>
#include <optional>

namespace pages {
namespace {
void storeField(const char* key, const QLineEdit* box) {
    app::SaveSetting(app::ApplicationKey, app::ProductName, QString::fromLatin1(key), box->text());
}
void selectWhole(QLineEdit* box) {
    box->setSelection(0, int(box->text().size()));
}
} // namespace

Form1::Form1() {
    setObjectName(QStringLiteral("Form1"));
    layOut();
    connectHandlers();
}

// The start-up sequence.
void Form1::Form_Load() {
    auto h = app::guardedHandler(QStringLiteral("Form1"), QStringLiteral("Form_Load"));
    h.step(100, [&] { app::ApplySkin(*this); });
    h.step(104, [&] { setWindowTitle(app::ProductName); });
    h.step(104, [&] { setWindowIcon(app::programIcon()); });
    h.step(104, [] { app::SetApplicationTitle(); });
    if (h.cond(106, [] { return app::FileExists(app::handCursorPath()); }))
        h.step(108, [&] { setMouseIcon(app::LoadMouseIcon(app::handCursorPath())); });
    h.step(110, [] { app::OpenHomePageOccasionally(); });
    const auto fill = [&](int line, QLineEdit* box, const char* key, const QString& fallback) {
        h.step(line, [&] {
            box->setText(app::GetSetting(app::ApplicationKey, app::ProductName,
                                         QString::fromLatin1(key), fallback));
        });
    };
    fill(128, Text1, "Server", {});
    fill(130, Text2, "Port", QStringLiteral("5000"));
    fill(132, Text3, "User", {});
    h.step(134, [&] { Text4->setText(app::LoadPassword()); });
    fill(136, Text5, "Database", {});
    if (h.cond(138, [&] { return db::TestSybaseASEConnection(connectionFields()); })) {
        h.step(140, [] { form2().Show(); });
        h.step(142, [&] { Hide(); });
    }
}

// Test Connection.
void Form1::PushButton7_Click() {
    auto h = app::guardedHandler(QStringLiteral("Form1"), QStringLiteral("PushButton7_Click"));
    std::optional<db::Connection> connection;
    h.step(100, [&] { connection.emplace(); });
    // From here on a failure leads to line 110 instead of the report.
    bool failed = false;
    QString reason; // the server's or the driver's own words, when the failure has them
    try {
        h.setLine(102);
        setMousePointer(app::kPointerHourglass);
        h.setLine(104);
        if (!connection)
            throw db::DbError(QStringLiteral("The connection object could not be created."));
        connection->Open(db::BuildSybaseASEConnectionString(connectionFields()));
        h.setLine(106);
        app::platform().messageBox(this, QStringLiteral("Connection successful."),
                                   app::kStyleOkOnly, app::ApplicationTitle());
        h.setLine(108);
        setMousePointer(app::kPointerDefault);
    } catch (const db::DbError& e) {
        failed = true;
        reason = db::connectFailureReason(e);
    } catch (...) {
        failed = true;
    }
    h.setLine(110);
    if (failed) {
        h.step(112, [&] {
            // The first line stays as it is for whoever reads only that.
            QString text = QStringLiteral("Could not connect.");
            if (!reason.isEmpty())
                text += QLatin1Char('\n') + reason;
            app::platform().messageBox(this, text, app::kStyleOkOnly, app::ApplicationTitle());
        });
        h.step(114, [&] { setMousePointer(app::kPointerDefault); });
        h.setLine(116); // the failure is cleared
    }
    // The connection goes here; an opened one closes with it.
}

// Help.
void Form1::PushButton6_Click() {
    auto h = app::guardedHandler(QStringLiteral("Form1"), QStringLiteral("PushButton6_Click"));
    QString separator;
    QString text;
    h.step(100, [&] { separator = QStringLiteral("\r"); });
    h.step(102, [&] { separator += QStringLiteral("\r"); });
    const QString pieces[] = {
        QStringLiteral("This is how I was able to make a Sybase ASE connection: "),
        QStringLiteral("I purchased"),
        QStringLiteral("Sybase Adaptive Server Enterprise \u2013 Developer's Edition"),
        QStringLiteral("via ") + QString::fromUtf8(QUORVANE_VENDOR_DOMAIN),
        QStringLiteral("and downloaded the Sybase 15.01 Client"),
        QStringLiteral("specifically"),
        QStringLiteral("ase1501clientwin32.zip"),
        QStringLiteral("Make sure you select Custom instead of Typical and Full and make sure"),
        QStringLiteral("ASE Data Providers (ASE ODBC Driver)"),
        QStringLiteral("are installed during the client installation."),
    };
    int line = 104;
    for (const QString& piece : pieces) {
        h.step(line, [&] { text += piece + separator; });
        line += 2;
    }
    h.step(124, [&] {
        app::platform().messageBox(this, text, app::kStyleOkOnly, app::ApplicationTitle());
    });
}

// Next >.
void Form1::PushButton3_Click() {
    auto h = app::guardedHandler(QStringLiteral("Form1"), QStringLiteral("PushButton3_Click"));
    if (h.cond(100, [&] { return db::TestSybaseASEConnection(connectionFields()); })) {
        h.step(102, [] { form2().Show(); });
        h.step(104, [&] { Hide(); });
        h.step(106, [] { form2().Form_Load(); });
    }
}

void Form1::Text1_Change() {
    storeField("Server", Text1);
}
void Form1::Text2_Change() {
    storeField("Port", Text2);
}
void Form1::Text3_Change() {
    storeField("User", Text3);
}
void Form1::Text4_Change() {
    app::SavePassword(Text4->text());
}
void Form1::Text5_Change() {
    storeField("Database", Text5);
}

void Form1::Text1_GotFocus() {
    selectWhole(Text1);
}
void Form1::Text2_GotFocus() {
    selectWhole(Text2);
}
void Form1::Text3_GotFocus() {
    selectWhole(Text3);
}
void Form1::Text4_GotFocus() {
    selectWhole(Text4);
}
void Form1::Text5_GotFocus() {
    selectWhole(Text5);
}

db::ConnectionFields Form1::connectionFields() const {
    return {Text1->text(), Text2->text(), Text3->text(), Text4->text(), Text5->text()};
}

QString BuildSybaseASEConnectionString() {
    return db::BuildSybaseASEConnectionString(form1().connectionFields());
}

bool TestSybaseASEConnection() {
    return db::TestSybaseASEConnection(form1().connectionFields());
}

} // namespace pages
