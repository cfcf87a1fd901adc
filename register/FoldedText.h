#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Loose matching of what a clerk types against what the register holds:
// a-z become A-Z and the Romanian letters with marks become their plain
// capital (ă â Ă Â → A, î Î → I, ș ş Ș Ş → S, ț ţ Ț Ţ → T, comma and
// cedilla forms alike), so "STEFAN" finds "Ștefan" and "ŞTEFAN". Every other
// character stays as it is. Works on UTF-8 bytes; the folded text is UTF-8.
namespace FoldedText {

QByteArray fold(QByteArrayView utf8);
// The folded form of `utf8` in this thread's buffer, which keeps its room:
// valid until the next call. The filter folds every place at every
// keystroke and copies nothing.
QByteArrayView scratch(QByteArrayView utf8);
// Whether `folded` (already folded, not empty) occurs in the folded form of
// `utf8`.
bool contains(QByteArrayView utf8, QByteArrayView folded);

} // namespace FoldedText
