#include "support/pulse_server.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>
#include <cstdlib>

namespace quillar::test {

namespace {

std::optional<QByteArray> getEnv(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::nullopt : std::optional<QByteArray>(value);
}

void putEnv(const char* name, const std::optional<QByteArray>& value) {
    if (value) {
        setenv(name, value->constData(), 1);
    } else {
        unsetenv(name);
    }
}

}  // namespace

PulseServer::PulseServer() : PulseServer(Options{}) {}
PulseServer::PulseServer(Options options) : m_options(std::move(options)) {}

PulseServer::~PulseServer() {
    stop();
}

bool PulseServer::available() {
    return !QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("pactl")).isEmpty();
}

QString PulseServer::skipReason() {
    return QStringLiteral(
        "pulseaudio or pactl is not installed (Debian packages pulseaudio, pulseaudio-utils)");
}

QString PulseServer::serverAddress() const {
    return m_dir ? QStringLiteral("unix:") + m_dir->path() + QStringLiteral("/pulse/native")
                 : QString();
}

QProcessEnvironment PulseServer::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (m_dir) {
        env.insert(QStringLiteral("PULSE_SERVER"), serverAddress());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir->path());
    }
    return env;
}

bool PulseServer::running() const {
    return m_process && m_process->state() != QProcess::NotRunning;
}

int PulseServer::run(const QString& program, const QStringList& arguments, int timeoutMs,
                     QByteArray* output) const {
    QProcess p;
    p.setProcessEnvironment(environment());
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(program, arguments);
    if (!p.waitForStarted(timeoutMs) || !p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(1000);
        return -1;
    }
    if (output != nullptr) {
        *output = p.readAllStandardOutput();
    }
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

bool PulseServer::start() {
    if (running()) {
        return true;
    }
    m_error.clear();
    m_dir = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/quillar-pulse-XXXXXX"));
    if (!m_dir->isValid()) {
        m_error = QStringLiteral("cannot create a runtime folder");
        return false;
    }
    QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    m_process = std::make_unique<QProcess>();
    QProcessEnvironment env = environment();
    // The server keeps its cookie and state under HOME; give it ours, not the user's.
    env.insert(QStringLiteral("HOME"), m_dir->path());
    env.remove(QStringLiteral("PULSE_SERVER"));
    m_process->setProcessEnvironment(env);
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setStandardOutputFile(m_dir->filePath(QStringLiteral("pulse.log")));
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    // In the foreground, so that we own the process and can always end it. -n: none of the
    // machine's default modules (no real cards, no session integration).
    const QString sinkModule =
        QStringLiteral(
            "module-null-sink sink_name=%1 rate=%2 sink_properties=device.description=%3")
            .arg(m_options.sinkName)
            .arg(m_options.sinkRate)
            .arg(m_options.sinkDescription);
    m_process->start(
        QStringLiteral("pulseaudio"),
        {QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
         QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--log-target=stderr"),
         QStringLiteral("-L"), QStringLiteral("module-native-protocol-unix auth-anonymous=1"),
         QStringLiteral("-L"), sinkModule});
    if (!m_process->waitForStarted(m_options.startTimeoutMs)) {
        m_error = QStringLiteral("pulseaudio did not start: ") + m_process->errorString();
        m_process.reset();
        return false;
    }

    m_oldPulseServer = getEnv("PULSE_SERVER");
    m_oldRuntimeDir = getEnv("XDG_RUNTIME_DIR");
    setenv("PULSE_SERVER", serverAddress().toLocal8Bit().constData(), 1);
    setenv("XDG_RUNTIME_DIR", m_dir->path().toLocal8Bit().constData(), 1);
    m_envApplied = true;

    const QDeadlineTimer deadline(m_options.startTimeoutMs);
    bool answered = false;
    while (!deadline.hasExpired() && running()) {
        if (run(QStringLiteral("pactl"), {QStringLiteral("info")}, 2000) == 0) {
            answered = true;
            break;
        }
        QThread::msleep(20);
    }
    if (answered && m_options.monitorAsDefaultSource) {
        answered =
            run(QStringLiteral("pactl"), {QStringLiteral("set-default-sink"), sinkName()}) == 0 &&
            run(QStringLiteral("pactl"),
                {QStringLiteral("set-default-source"), monitorSourceName()}) == 0;
    }
    if (!answered) {
        QFile log(m_dir->filePath(QStringLiteral("pulse.log")));
        log.open(QIODevice::ReadOnly);
        m_error = QStringLiteral("pulseaudio did not answer in time; its log:\n") +
                  QString::fromLocal8Bit(log.readAll());
        stop();
        return false;
    }
    return true;
}

void PulseServer::stop() {
    if (m_process) {
        if (m_process->state() != QProcess::NotRunning) {
            m_process->terminate();
            if (!m_process->waitForFinished(5000)) {
                m_process->kill();
                m_process->waitForFinished(2000);
            }
        }
        m_process.reset();
    }
    restoreEnvironment();
    m_dir.reset();
}

void PulseServer::restoreEnvironment() {
    if (!m_envApplied) {
        return;
    }
    putEnv("PULSE_SERVER", m_oldPulseServer);
    putEnv("XDG_RUNTIME_DIR", m_oldRuntimeDir);
    m_envApplied = false;
}

}  // namespace quillar::test
