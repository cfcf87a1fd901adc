#pragma once

#include <QString>

// The operating system's failures told the clerk in Romanian. Qt and the C
// library give them in English ("Read-only file system"), and Qt ships no
// Romanian catalogue for them.
namespace SystemError {

// The text for an error number (errno).
QString text(int code);
// A text the system or Qt gave (English), in Romanian; one it does not
// know is kept as it is.
QString romanian(const QString& systemText);

} // namespace SystemError
