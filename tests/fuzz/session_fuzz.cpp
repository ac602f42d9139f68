// Any bytes as quillar-session.json: a session or an error, never both; a session read is written
// and read back the same, and written again to the same bytes.
#include <QJsonDocument>

#include "fuzz_support.h"
#include "session/session.h"

using namespace quillar;
using fuzz::check;

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
    // Unknown keys are kept: once Qt's parser has read them (it may rename a malformed one),
    // writing again gives the same bytes.
    const QByteArray rewritten = sessionJson(*again.session);
    if (rewritten != written) {
        std::fprintf(stderr, "%s\n----\n%s\n", written.constData(), rewritten.constData());
    }
    check(rewritten == written, "written again the same");
    return 0;
}
