#include "app/platform.h"

#include "app/secretstore.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>
#include <QTime>
#include <QUrl>
#include <QWidget>

#include <bit>
#include <cstdint>
#include <random>
#include <stdexcept>

namespace app {
namespace {

std::unique_ptr<Platform>& current() {
    static std::unique_ptr<Platform> platform;
    return platform;
}

QMessageBox::Icon iconOfStyle(int style) {
    switch (style & 0x70) {
    case 16:
        return QMessageBox::Critical;
    case 32:
        return QMessageBox::Question;
    case 48:
        return QMessageBox::Warning;
    case 64:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// Message texts break lines with CR LF or a lone CR; the box wants LF.
QString withLineBreaks(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

// The settings file is created readable by the user alone before QSettings writes it
// (it holds a password); QSettings keeps the permissions of the file it replaces.
void prepareUserOnlyFile(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    const auto userOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                        QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    if (!file.exists())
        file.open(QIODevice::WriteOnly, userOnly);
    else if (file.permissions() & others)
        file.setPermissions(userOnly);
}

class DesktopPlatform : public Platform {
  public:
    explicit DesktopPlatform(QString settingsName)
        : settingsName_(std::move(settingsName)), secrets_(makeKeychainStore(settingsName_)) {}

    void messageBox(QWidget* parent, const QString& text, int style,
                    const QString& title) override {
        QMessageBox box(iconOfStyle(style), title, withLineBreaks(text), QMessageBox::Ok,
                        parent && parent->isVisible() ? parent : nullptr);
        box.setTextFormat(Qt::PlainText);
        box.setWindowModality(Qt::ApplicationModal);
        box.exec();
    }

    void openUrl(const QString& address) override {
        // Not started is a failure the caller reports, not a silence.
        if (!QDesktopServices::openUrl(QUrl(address)))
            throw std::runtime_error("The web browser could not be started for \"" +
                                     address.toStdString() + "\".");
    }

    double secondsSinceMidnight() override {
        return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
    }

    double randomDraw(double seed) override {
        std::mt19937_64 generator(std::bit_cast<std::uint64_t>(seed));
        // The top 53 bits make a double in [0, 1) exactly.
        return double(generator() >> 11) * 0x1.0p-53;
    }

    QString programFolder() override { return QCoreApplication::applicationDirPath(); }

    std::unique_ptr<QSettings> openSettings(const QString& applicationKey) override {
#ifdef Q_OS_WIN
        if (settingsName_ == kQuorvaneSettingsName)
            return std::make_unique<QSettings>(
                QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\") +
                    applicationKey,
                QSettings::NativeFormat);
        return std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\Software\\") +
                                               applicationKey + QLatin1Char('\\') + settingsName_,
                                           QSettings::NativeFormat);
#else
        const QString path =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
            QLatin1Char('/') + applicationKey + QLatin1Char('/') + settingsName_ +
            QStringLiteral(".ini");
        prepareUserOnlyFile(path);
        return std::make_unique<QSettings>(path, QSettings::IniFormat);
#endif
    }

    SecretStore& secrets() override {
        return *secrets_;
    }

    void endProgram() override {
        for (QWidget* window : QApplication::topLevelWidgets())
            window->hide();
        QCoreApplication::exit(0);
        // Before the event loop runs, exit() has nothing to leave: the loop ends as soon as
        // it starts.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    }

    void processEvents() override {
        QCoreApplication::processEvents();
    }

  private:
    QString settingsName_;
    std::unique_ptr<SecretStore> secrets_;
};

} // namespace

Platform& platform() {
    if (!current())
        current() = makeDesktopPlatform();
    return *current();
}

std::unique_ptr<Platform> setPlatform(std::unique_ptr<Platform> platform) {
    std::swap(current(), platform);
    return platform;
}

std::unique_ptr<Platform> makeDesktopPlatform(const QString& settingsName) {
    return std::make_unique<DesktopPlatform>(settingsName);
}

} // namespace app
