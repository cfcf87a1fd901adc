// libFuzzer target for the update server's version answer: any bytes may
// come back. The comparison must never crash, and a version is never newer
// than itself.
#include "OnlineUpdate.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
    const OnlineUpdate::Verdict v = OnlineUpdate::compare(QStringLiteral("2.1.1.1"), body);
    const OnlineUpdate::Verdict self = OnlineUpdate::compare(QString::fromLatin1(body), body);
    if (self == OnlineUpdate::Verdict::Newer)
        std::abort();
    if (v != OnlineUpdate::Verdict::Unusable && self == OnlineUpdate::Verdict::Unusable)
        std::abort(); // what is a version against ours is one against itself
    return 0;
}
