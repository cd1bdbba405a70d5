#include "support/loginbackend.h"

namespace testing {
namespace {

class LoginSession : public tds::Session {
  public:
    void language(const std::string& batch, tds::ResultSink& sink) override {
        if (batch.find("@@spid") != std::string::npos) {
            tds::ColumnInfo spid;
            spid.type = tds::AseType::SmallInt;
            spid.nullable = false;
            sink.columns({spid});
            sink.row({tds::Value::Integer(17)});
            sink.done(false, 1, false);
        }
        if (batch.find("@@tranchained") != std::string::npos) {
            // What a program asks of its session after the login: unchained, no
            // transaction, its user, texts whole, no system role.
            tds::ColumnInfo number;
            number.type = tds::AseType::Int;
            number.nullable = false;
            tds::ColumnInfo name;
            name.type = tds::AseType::VarChar;
            name.length = 30;
            tds::ColumnInfo roles = name;
            roles.length = 255;
            roles.nullable = true; // show_role(): no system role
            sink.columns({number, number, name, number, roles});
            sink.row({tds::Value::Integer(0), tds::Value::Integer(0), tds::Value::Text("dbo"),
                      tds::Value::Integer(2147483647), tds::Value::Null()});
            sink.done(false, 1, false);
            return;
        }
        bool used = false;
        tds::ConnectionLog log;
        log.requests.push_back(batch);
        const std::string database = usedDatabase(log, used);
        if (used)
            sink.databaseChanged(database, "master");
        sink.done(false, std::nullopt, false);
    }
    void rpc(const std::string&, const std::vector<tds::RpcParameter>&,
             tds::ResultSink& sink) override {
        sink.returnStatus(0);
    }
    void close() override {}
};

class LoginBackend : public tds::Backend {
  public:
    bool hasDatabase(const std::string&) const override { return true; }
    std::unique_ptr<tds::Session> openSession(const std::string&, const std::string&) override {
        return std::make_unique<LoginSession>();
    }
};

} // namespace

std::shared_ptr<tds::Backend> makeLoginBackend() {
    return std::make_shared<LoginBackend>();
}

std::unique_ptr<tds::Server> startLoginServer(const std::string& user,
                                              const std::string& password) {
    tds::ServerOptions options;
    options.accounts = {{user, password, {}}};
    return std::make_unique<tds::Server>(makeLoginBackend(), options);
}

std::unique_ptr<tds::Server> startSilentServer() {
    auto server = startLoginServer("sa", "secret");
    tds::Faults faults;
    faults.neverAnswer = true;
    server->setFaults(faults);
    return server;
}

std::string usedDatabase(const tds::ConnectionLog& log, bool& used) {
    used = false;
    for (const std::string& sql : log.requests) {
        const std::size_t at = sql.find("use [");
        if (at == std::string::npos)
            continue;
        used = true;
        std::string name;
        for (std::size_t i = at + 5; i < sql.size(); ++i) {
            if (sql[i] == ']' && !(i + 1 < sql.size() && sql[i + 1] == ']'))
                break;
            name += sql[i];
            i += sql[i] == ']';
        }
        return name;
    }
    return {};
}

} // namespace testing
