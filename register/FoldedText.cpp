#include "FoldedText.h"

namespace FoldedText {

namespace {

// The plain capital of a two-byte UTF-8 letter with marks, or 0.
char plainLetter(unsigned char lead, unsigned char next) {
    switch (lead) {
    case 0xC3: // U+00C0..U+00FF
        switch (next) {
        case 0x82: // Â
        case 0xA2: // â
            return 'A';
        case 0x8E: // Î
        case 0xAE: // î
            return 'I';
        }
        return 0;
    case 0xC4:                                           // U+0100..U+013F
        return (next == 0x82 || next == 0x83) ? 'A' : 0; // Ă ă
    case 0xC5:                                           // U+0140..U+017F
        if (next == 0x9E || next == 0x9F)                // Ş ş
            return 'S';
        if (next == 0xA2 || next == 0xA3) // Ţ ţ
            return 'T';
        return 0;
    case 0xC8:                            // U+0200..U+023F
        if (next == 0x98 || next == 0x99) // Ș ș
            return 'S';
        if (next == 0x9A || next == 0x9B) // Ț ț
            return 'T';
        return 0;
    }
    return 0;
}

// Folding never makes a text longer: `out` has room for `n` bytes.
qsizetype foldInto(char* out, const char* s, qsizetype n) {
    char* o = out;
    for (qsizetype i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            *o++ = (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : char(c);
            continue;
        }
        if (i + 1 < n) {
            if (const char plain = plainLetter(c, static_cast<unsigned char>(s[i + 1]))) {
                *o++ = plain;
                ++i;
                continue;
            }
        }
        *o++ = char(c);
    }
    return o - out;
}

} // namespace

QByteArray fold(QByteArrayView utf8) {
    QByteArray out(utf8.size(), Qt::Uninitialized);
    out.resize(foldInto(out.data(), utf8.data(), utf8.size()));
    return out;
}

QByteArrayView scratch(QByteArrayView utf8) {
    static thread_local QByteArray buffer;
    if (buffer.size() < utf8.size())
        buffer.resize(utf8.size());
    return QByteArrayView(buffer.constData(), foldInto(buffer.data(), utf8.data(), utf8.size()));
}

bool contains(QByteArrayView utf8, QByteArrayView folded) {
    if (folded.isEmpty() || folded.size() > utf8.size())
        return false;
    return scratch(utf8).contains(folded);
}

} // namespace FoldedText
