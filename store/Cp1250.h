#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// The Central European single-byte code page (Windows-1250), in which the
// office's other programs write their text files. A table of our own rather
// than Qt's codecs: QStringConverter offers only the UTF encodings and
// Latin-1, and the ICU-backed QStringDecoder for named pages exists only in
// Qt builds with ICU, which the Windows build need not have; the table also
// writes ș ț as the cedilla letters the page has instead of dropping them.
namespace Cp1250 {

// Characters the page lacks become '?', except the Romanian s and t with
// comma below (and their capitals), which become their cedilla forms, the
// letters the page has and every Romanian text of the time used.
QByteArray encode(QStringView text);
QString decode(const QByteArray& bytes);
// The character of one byte.
char16_t unicodeOf(unsigned char byte);

} // namespace Cp1250
