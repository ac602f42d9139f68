// Any bytes as quillar-session.json: a session or an error, never both; a session read is written
// and read back the same, its unknown keys kept.
#include <QCoreApplication>
#include <QJsonDocument>

#include "fuzz_support.h"
#include "session/session.h"

using namespace quillar;
using fuzz::check;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    new QCoreApplication(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const SessionRead read = parseSession(fuzz::bytesOf(data, size));
    check(!(read.session && !read.error.isEmpty()), "a session or an error");
    if (!read.session) {
        return 0;
    }
    const QByteArray written = sessionJson(*read.session);
    const SessionRead again = parseSession(written);
    if (!again.session) {
        std::fprintf(stderr, "%s\n%s\n", again.error.toUtf8().constData(), written.constData());
    }
    check(again.session.has_value() && again.error.isEmpty(), "what is written is read");
    check(*again.session == *read.session, "read back the same");
    for (auto it = read.session->original.begin(); it != read.session->original.end(); ++it) {
        check(again.session->original.contains(it.key()), "unknown keys kept");
    }
    return 0;
}
