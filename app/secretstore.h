#pragma once

// The desktop's store of secrets (the Secret Service on Linux, the platform's own
// keychain elsewhere), as far as the program uses it: one text secret by key. A seam of
// the platform (platform.h), so tests give a fake one and never reach a real keyring.

#include <QString>
#include <functional>
#include <memory>

namespace app {

class SecretStore {
  public:
    virtual ~SecretStore() = default;

    enum class Answer { Found, Missing, Unavailable };
    struct Read {
        Answer answer = Answer::Unavailable;
        QString value; // when Found
    };

    // Reads the secret of `key`. The event loop goes on while it waits (a locked keyring
    // may ask the user to unlock it), so no window stops answering.
    virtual Read read(const QString& key) = 0;
    // Starts storing `value` under `key` and returns at once; `stored` is called later,
    // on the window thread, with whether the store took it. Writes finish in the order
    // they were started.
    virtual void write(const QString& key, const QString& value,
                       std::function<void(bool stored)> stored) = 0;
};

// The desktop's store through QtKeychain; `service` names the program's entries.
std::unique_ptr<SecretStore> makeKeychainStore(const QString& service);
// A store that is never there: the settings file keeps the password (runs that must not
// touch the user's keyring).
std::unique_ptr<SecretStore> makeAbsentStore();

} // namespace app
