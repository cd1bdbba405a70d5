#include "app/mainmodule.h"

#include "app/platform.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <cmath>

namespace app {
namespace {
QString& applicationTitle() {
    static QString title;
    return title;
}
constexpr qsizetype kMaxTitleLength = 40;
} // namespace

QString ApplicationTitle() {
    return applicationTitle();
}

void SetApplicationTitle() {
    applicationTitle() = titleFromProductName(ProductName);
}

QString titleFromProductName(const QString& productName) {
    QString s = productName;
    do {
        const qsizetype blank = s.lastIndexOf(QLatin1Char(' '));
        if (blank < 0) {
            // Nothing left to cut at: keep the text, within the length the rule allows.
            s.truncate(kMaxTitleLength);
            break;
        }
        s.truncate(blank);
    } while (s.size() > kMaxTitleLength);
    return s;
}

QString ProgramFolder() {
    QString folder = QDir::toNativeSeparators(platform().programFolder());
    while (folder.size() > 1 && folder.endsWith(QDir::separator()))
        folder.chop(1);
    return folder;
}

QString besideProgram(const QString& literal) {
    QString tail = literal;
    tail.replace(QLatin1Char('\\'), QDir::separator());
    return ProgramFolder() + tail;
}

bool FileExists(const QString& path) {
    try {
        if (path.isEmpty())
            return false;
        const QFileInfo info(path);
        return info.exists() && info.lastModified().isValid();
    } catch (...) {
        return false;
    }
}

void OpenHomePageOccasionally() {
    const double r = platform().randomDraw(platform().secondsSinceMidnight());
    const int n = int(std::floor(r * 100)) + 1;
    if (n == 7)
        platform().openUrl(homePageAddress());
}

QString homePageAddress() {
    return QString::fromUtf8(QUORVANE_HOME_PAGE);
}

QString supportEmailAddress() {
    return QString::fromUtf8(QUORVANE_SUPPORT_EMAIL);
}

} // namespace app
