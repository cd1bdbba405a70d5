#pragma once

// The test server in a process of its own (the quorvane-tds-server executable), so that
// what it holds and the threads it runs are not counted as the benchmark's own.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace bench {

// A figure in KiB from a process's status file (VmRSS now, VmHWM the peak so far).
inline long statusKiB(const QString& file, const char* key) {
    QFile status(file);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(qstrlen(key))).trimmed().split(' ').first().toLong();
    return 0;
}

class ServerProcess {
  public:
    // Serves the database files of `folder` on a free port of 127.0.0.1; returns once it
    // listens. Throws std::runtime_error when it does not start.
    explicit ServerProcess(const QString& folder) {
        int out[2];
        if (pipe(out) != 0)
            throw std::runtime_error("no pipe for the test server");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, out[1]);
        const QByteArray path(QUORVANE_TDS_SERVER);
        const QByteArray root = QFile::encodeName(folder);
        char port[] = "0";
        char* argv[] = {const_cast<char*>(path.constData()), const_cast<char*>(root.constData()),
                        port, nullptr};
        const int failed = posix_spawn(&pid_, path.constData(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        if (failed != 0) {
            close(out[0]);
            throw std::runtime_error("the test server could not be started: " + path.toStdString());
        }
        // First line: "listening on 127.0.0.1:<port>".
        std::string line;
        char c = 0;
        while (read(out[0], &c, 1) == 1 && c != '\n')
            line += c;
        close(out[0]); // the server writes nothing more
        const std::size_t colon = line.rfind(':');
        port_ = colon == std::string::npos ? 0 : std::atoi(line.c_str() + colon + 1);
        if (port_ <= 0) {
            stop();
            throw std::runtime_error("the test server did not listen: " + line);
        }
    }
    ~ServerProcess() { stop(); }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    int port() const { return port_; }
    // A /proc/<pid>/status figure of the server in KiB (VmHWM: its peak so far).
    long statusKiB(const char* key) const {
        return bench::statusKiB(QStringLiteral("/proc/%1/status").arg(pid_), key);
    }

  private:
    void stop() {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGTERM);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = 0;
    }

    pid_t pid_ = 0;
    int port_ = 0;
};

} // namespace bench
