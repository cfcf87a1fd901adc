#include "Cp1250.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

// Unicode of the bytes 0x80 to 0xFF. The five bytes the page leaves
// undefined (0x81, 0x83, 0x88, 0x90, 0x98) read as the control character of
// the same number, as Windows reads them.
constexpr std::array<char16_t, 128> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x0088, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179, // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, // 98
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7, // A0
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B, // A8
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7, // B0
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, // B8
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, // C0
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E, // C8
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, // D0
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, // D8
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, // E0
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, // E8
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7, // F0
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9, // F8
};

// The reverse table, sorted by character.
using Entry = std::pair<char16_t, char>;
const std::array<Entry, 128>& reverseTable() {
    static const std::array<Entry, 128> table = [] {
        std::array<Entry, 128> t{};
        for (size_t i = 0; i < kHigh.size(); ++i)
            t[i] = {kHigh[i], char(0x80 + i)};
        std::sort(t.begin(), t.end());
        return t;
    }();
    return table;
}

char16_t withCedilla(char16_t c) {
    switch (c) {
    case 0x0218: // S comma below
        return 0x015E;
    case 0x0219:
        return 0x015F;
    case 0x021A: // T comma below
        return 0x0162;
    case 0x021B:
        return 0x0163;
    default:
        return c;
    }
}

// The byte for one UTF-16 unit; 0 when the page lacks it.
char byteOf(char16_t c) {
    c = withCedilla(c);
    if (c < 0x80)
        return char(c);
    const auto& t = reverseTable();
    const auto it =
        std::lower_bound(t.begin(), t.end(), Entry{c, 0},
                         [](const Entry& a, const Entry& b) { return a.first < b.first; });
    return it != t.end() && it->first == c ? it->second : 0;
}

} // namespace

namespace Cp1250 {

QByteArray encode(QStringView text) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += '?'; // one mark for the whole character
            ++i;
            continue;
        }
        const char b = c.unicode() == 0 ? 0 : byteOf(c.unicode());
        out += (b == 0 && c.unicode() != 0) ? '?' : b;
    }
    return out;
}

QString decode(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        out += b < 0x80 ? QChar(b) : QChar(kHigh[b - 0x80]);
    }
    return out;
}

char16_t unicodeOf(unsigned char byte) {
    return byte < 0x80 ? char16_t(byte) : kHigh[byte - 0x80];
}

} // namespace Cp1250
