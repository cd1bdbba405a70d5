#pragma once

// What the benchmarks share: a private test server (a process of its own, reached
// through the ASEOLEDB provider and FreeTDS) with the real pages over it (the settings go
// to a temporary folder), clocks, memory readings and waiting on the event loop.

#include "bench/serverprocess.h"
#include "db/connect/connectionstring.h"
#include "db/connect/provider.h"
#include "db/connect/sybasease.h"
#include "db/odbc/odbc.h"
#include "pages/connection/form1.h"
#include "pages/wizard.h"
#include "sample/sampleserver.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double seconds(Clock::time_point since, Clock::time_point until = Clock::now()) {
    return std::chrono::duration<double>(until - since).count();
}

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Processor time the whole process has used, all threads.
inline double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Processor time the calling thread has used.
inline double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// A /proc/self/status figure in KiB (VmRSS now, VmHWM the peak so far).
inline long statusKiB(const char* key) {
    return statusKiB(QStringLiteral("/proc/self/status"), key);
}

// Notes that a widget got a paint event (the time is taken once the event pass that
// painted it has ended).
class PaintWatch : public QObject {
  public:
    bool painted = false;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

// What the plain block-fetch loop read, and how long it took.
struct Bare {
    double seconds = 0;
    double cpu = 0;
    long long rows = 0;
    long long textBytes = 0;
    double firstSeconds = 0; // with `warm`: the first, untimed run's seconds
};

// The plain loop: direct execute, columns bound as text into row arrays of `block` rows,
// fetch to the end. With `warm`, the query runs once untimed first on the same connection
// (as a program that reads a table again over a connection it keeps).
inline Bare bareFetch(const QString& odbcString, const QString& query, SQLULEN block = 1024,
                      bool warm = false) {
    db::odbc::DriverConnection connection(std::make_shared<db::odbc::Environment>());
    connection.connect(odbcString, 30);
    constexpr SQLLEN kWidth = 161;
    Bare result;
    for (int run = warm ? 0 : 1; run < 2; ++run) {
        result = Bare{.firstSeconds = result.seconds};
        const double cpu = cpuSeconds();
        const Clock::time_point start = Clock::now();
        db::odbc::Statement statement(connection);
        SQLHSTMT h = statement.handle().get();
        SQLULEN fetched = 0;
        SQLSetStmtAttr(h, SQL_ATTR_ROW_ARRAY_SIZE, SQLPOINTER(block), 0);
        SQLSetStmtAttr(h, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
        statement.execDirect(query);
        SQLSMALLINT columns = 0;
        SQLNumResultCols(h, &columns);
        std::vector<std::vector<char>> data(static_cast<std::size_t>(columns),
                                            std::vector<char>(block * kWidth));
        std::vector<std::vector<SQLLEN>> lengths(static_cast<std::size_t>(columns),
                                                 std::vector<SQLLEN>(block));
        for (SQLSMALLINT c = 0; c < columns; ++c)
            SQLBindCol(h, SQLUSMALLINT(c + 1), SQL_C_CHAR, data[std::size_t(c)].data(), kWidth,
                       lengths[std::size_t(c)].data());
        while (SQL_SUCCEEDED(SQLFetch(h))) {
            result.rows += (long long)fetched;
            for (const std::vector<SQLLEN>& column : lengths)
                for (SQLULEN r = 0; r < fetched; ++r)
                    if (column[r] > 0)
                        result.textBytes += column[r];
        }
        result.seconds = seconds(start);
        result.cpu = cpuSeconds() - cpu;
    }
    return result;
}

// Lets the peak reading start again from what the process holds now.
inline void resetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// Runs the event loop until `done` answers true, sleeping while nothing happens (as the
// program's own loop does).
inline void runUntil(const std::function<bool()>& done) {
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

// Settings in a folder of their own; the test server over another, on a free port, in a
// process of its own; the connection page filled with values that log in to `catalog`.
class Server {
  public:
    explicit Server(const QString& catalog) : server_(folder_.path()), catalog_(catalog) {
        qputenv("XDG_CONFIG_HOME", settings_.path().toLocal8Bit());
    }
    QString port() const { return QString::number(server_.port()); }
    // The server's peak resident size so far, in KiB.
    long serverPeakKiB() const { return server_.statusKiB("VmHWM:"); }
    QString file() const { return sample::databaseFile(folder_.path(), catalog_); }
    QString adoString() const {
        return db::BuildSybaseASEConnectionString({QLatin1String(sample::kServer), port(),
                                                   QLatin1String(sample::kUser),
                                                   QLatin1String(sample::kPassword), catalog_});
    }
    QString odbcString() const {
        return db::findProvider(QStringLiteral("ASEOLEDB"))
            ->odbcConnectionString(db::ConnectionProperties::parse(adoString()));
    }
    void fillConnectionPage() const {
        pages::Form1& page = pages::form1();
        page.Text1->setText(QLatin1String(sample::kServer));
        page.Text2->setText(port());
        page.Text3->setText(QLatin1String(sample::kUser));
        page.Text4->setText(QLatin1String(sample::kPassword));
        page.Text5->setText(catalog_);
    }

  private:
    QTemporaryDir settings_;
    QTemporaryDir folder_;
    ServerProcess server_;
    QString catalog_;
};

} // namespace bench
