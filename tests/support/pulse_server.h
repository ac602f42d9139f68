// A private PulseAudio server for one test: its own runtime folder and socket, one null sink whose
// monitor source hears whatever is played into it, gone when the object is. While it lives, this
// process's PULSE_SERVER and XDG_RUNTIME_DIR point at it (so SDL and libpulse find it), and
// environment() gives the same to child processes (paplay, parec, the program under test).
//
//   PulseServer pulse;
//   if (!pulse.available()) GTEST_SKIP() << pulse.skipReason();
//   ASSERT_TRUE(pulse.start()) << pulse.error();
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <optional>

namespace quillar::test {

class PulseServer {
  public:
    struct Options {
        QString sinkName = QStringLiteral("quillar_test");
        QString sinkDescription = QStringLiteral("QuillarTest");
        int sinkRate = 44100;
        // Make the sink and its monitor the server's defaults (so "the default input" records
        // what is played).
        bool monitorAsDefaultSource = true;
        int startTimeoutMs = 10000;
    };

    PulseServer();
    explicit PulseServer(Options options);
    ~PulseServer();
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    // Whether the pulseaudio and pactl programs exist; when not, skipReason() says so.
    static bool available();
    static QString skipReason();

    // Starts the server and waits until it answers (pactl info), at most startTimeoutMs.
    bool start();
    // Stops the server (also done by the destructor) and restores this process's environment.
    void stop();
    bool running() const;
    // What went wrong in start(), with the server's log.
    QString error() const { return m_error; }

    QString sinkName() const { return m_options.sinkName; }
    // The monitor source's name ("<sink>.monitor") and the description SDL lists it under.
    QString monitorSourceName() const { return m_options.sinkName + QStringLiteral(".monitor"); }
    QString monitorDescription() const {
        return QStringLiteral("Monitor of ") + m_options.sinkDescription;
    }
    QString serverAddress() const;  // "unix:/.../native"
    // The system environment with this server chosen, for child processes.
    QProcessEnvironment environment() const;

    // Runs `program` with `arguments` against this server, waits at most `timeoutMs`; returns
    // its exit code (-1 when it did not run or finish) and, optionally, its standard output.
    int run(const QString& program, const QStringList& arguments, int timeoutMs = 10000,
            QByteArray* output = nullptr) const;

  private:
    void restoreEnvironment();

    Options m_options;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_process;
    QString m_error;
    std::optional<QByteArray> m_oldPulseServer;
    std::optional<QByteArray> m_oldRuntimeDir;
    bool m_envApplied = false;
};

}  // namespace quillar::test
