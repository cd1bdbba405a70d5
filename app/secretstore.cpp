#include "app/secretstore.h"

#include <QEventLoop>
#include <qt6keychain/keychain.h>

namespace app {
namespace {

// QtKeychain's jobs run on the event loop and report through their finished signal;
// each deletes itself once it has reported (autoDelete, the default).
class KeychainStore : public SecretStore {
  public:
    explicit KeychainStore(QString service) : service_(std::move(service)) {}

    Read read(const QString& key) override {
        auto* job = new QKeychain::ReadPasswordJob(service_); // deletes itself
        job->setKey(key);
        Read result;
        bool finished = false;
        QEventLoop loop;
        QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job*) {
            switch (job->error()) {
            case QKeychain::NoError:
                result = {Answer::Found, job->textData()};
                break;
            case QKeychain::EntryNotFound:
                result = {Answer::Missing, {}};
                break;
            default: // no store, or one that refuses: the settings file keeps the password
                result = {Answer::Unavailable, {}};
                break;
            }
            finished = true;
            loop.quit();
        });
        job->start();
        if (!finished)
            loop.exec();
        return result;
    }

    void write(const QString& key, const QString& value,
               std::function<void(bool stored)> stored) override {
        auto* job = new QKeychain::WritePasswordJob(service_); // deletes itself
        job->setKey(key);
        job->setTextData(value);
        QObject::connect(job, &QKeychain::Job::finished, job,
                         [stored = std::move(stored)](QKeychain::Job* done) {
                             if (stored)
                                 stored(done->error() == QKeychain::NoError);
                         });
        job->start();
    }

  private:
    QString service_;
};

class AbsentStore : public SecretStore {
  public:
    Read read(const QString&) override { return {}; }
    void write(const QString&, const QString&, std::function<void(bool)> stored) override {
        if (stored)
            stored(false);
    }
};

} // namespace

std::unique_ptr<SecretStore> makeAbsentStore() {
    return std::make_unique<AbsentStore>();
}

std::unique_ptr<SecretStore> makeKeychainStore(const QString& service) {
    return std::make_unique<KeychainStore>(service);
}

} // namespace app
