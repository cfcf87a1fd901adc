#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <stdexcept>

// Asks the vendor's server which version of the program is current and
// offers the download page when a newer one exists.
namespace OnlineUpdate {

// The vendor's site, fixed at build time (TOMBRIX_VENDOR_URL). The version
// file and the download page live under it. Tests point it at 127.0.0.1;
// a test that shows the main window must do so too, since showing it runs
// the check.
QString baseAddress();
void setBaseAddress(const QString& address);
QString versionFileAddress();
QString downloadPageAddress();

constexpr int TimeoutMs = 5000;

// A fetch that failed: no connection, no answer in time, an HTTP error.
class FetchError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One GET into memory, without a proxy, given up after `timeoutMs`. Window
// messages go on being processed while it waits.
QByteArray fetch(const QString& address, int timeoutMs = TimeoutMs);

enum class Verdict {
    Unusable, // not exactly 7 characters, or not four numbers joined by points
    Latest,   // the server's version is not newer than ours
    Newer,
};
// Compares the versions number by number, so that 2.1.10.1 is newer than
// 2.1.9.1.
Verdict compare(const QString& own, const QByteArray& body);

enum class Mode {
    Automatic, // silent unless there is something to offer
    Menu,      // always answers
};
// Fetches the version file and tells the user what it found. Returns true
// when the user accepted the offer of a new version; the caller then opens
// the download page and closes the program. `stillWanted`, asked after the
// fetch, lets the caller drop the answer (the window closed meanwhile).
bool offerAccepted(Mode mode, const QString& own, const std::function<bool()>& stillWanted = {});

} // namespace OnlineUpdate
