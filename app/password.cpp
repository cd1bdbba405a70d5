#include "app/password.h"

#include "app/mainmodule.h"
#include "app/platform.h"
#include "app/secretstore.h"
#include "app/settingsstore.h"

namespace app {
namespace {

const QString kPasswordKey = QStringLiteral("Password");

// Whether the secret store answered at the last start-up.
bool& storeInUse() {
    static bool inUse = false;
    return inUse;
}

QString filedPassword(bool& present) {
    const QString absent = QStringLiteral("\x01");
    const QString value = GetSetting(ApplicationKey, ProductName, kPasswordKey, absent);
    present = value != absent;
    return present ? value : QString();
}

// The store took it: the file holds no copy; else the file keeps this one.
void settle(const QString& password, bool stored) {
    if (stored)
        DeleteSetting(ApplicationKey, ProductName, kPasswordKey);
    else
        SaveSetting(ApplicationKey, ProductName, kPasswordKey, password);
}

} // namespace

QString LoadPassword() {
    bool inFile = false;
    const QString filed = filedPassword(inFile);
    const SecretStore::Read read = platform().secrets().read(kPasswordKey);
    storeInUse() = read.answer != SecretStore::Answer::Unavailable;
    if (!storeInUse())
        return filed;
    if (inFile) {
        // Left by an earlier version, or by a store that refused a write: the newer one.
        platform().secrets().write(kPasswordKey, filed,
                                   [filed](bool stored) { settle(filed, stored); });
        return filed;
    }
    return read.value;
}

void SavePassword(const QString& password) {
    if (!storeInUse()) {
        SaveSetting(ApplicationKey, ProductName, kPasswordKey, password);
        return;
    }
    platform().secrets().write(kPasswordKey, password,
                               [password](bool stored) { settle(password, stored); });
}

} // namespace app
