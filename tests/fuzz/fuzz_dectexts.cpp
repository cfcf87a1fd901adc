// libFuzzer target for the decision texts' files: any bytes may be a file
// another program wrote. Reading must never crash, and what it reads,
// written and read again, gives the same text and the same bytes.
#include "DecDispUnt.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = DecDispTexts::fromFileBytes(bytes);
    const QByteArray file = DecDispTexts::toFileBytes(text);
    if (DecDispTexts::fromFileBytes(file) != text)
        std::abort();
    if (DecDispTexts::toFileBytes(DecDispTexts::fromFileBytes(file)) != file)
        std::abort();
    return 0;
}
