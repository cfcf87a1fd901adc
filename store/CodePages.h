#pragma once

#include <QString>

// The code pages an old table file may name in its header. Texts of a table
// are read in its own page, as the old program showed them.
namespace CodePages {

// Whether `page` (the number the header gives: 1250, 852, 1252, 437, 850)
// is one the program can read.
bool known(int page);
// Unicode of the bytes, read in `page`; an unknown page reads as 1250.
QString decode(int page, const char* data, int length);
// The Unicode of each byte from 0x80, or null for 1250 (Cp1250's own).
const char16_t* highHalf(int page);

} // namespace CodePages
