#pragma once

#include <QString>
#include <stdexcept>

// What went wrong in the database, as every engine's failures are sorted:
// the caller acts on the kind (a locked register waits, a conflict shows
// the other clerk's values), the clerk reads the message.
enum class FailureKind {
    Other,
    Locked,         // another program or clerk holds the lock
    ReadOnly,       // the register may only be read
    Full,           // no room left on the disk
    Damaged,        // the file or the database is not readable as a register
    Constraint,     // a rule of the tables refused the change
    Conflict,       // the row changed since it was read
    IO,             // the disk failed under a read or a write
    ConnectionLost, // the server went away
};

// A failure of the table store, carrying the store's own message text.
class StoreError : public std::runtime_error {
public:
    explicit StoreError(const QString& message, FailureKind kind = FailureKind::Other,
                        const QString& storeText = QString())
        : std::runtime_error(message.toStdString()), m_message(message), m_kind(kind),
          m_storeText(storeText) {}
    const QString& message() const noexcept { return m_message; }
    FailureKind kind() const noexcept { return m_kind; }
    // The engine's own words, before they were told the clerk's way.
    const QString& storeText() const noexcept { return m_storeText; }

private:
    QString m_message;
    FailureKind m_kind;
    QString m_storeText;
};

// The silent abort: thrown by a handler to cancel the operation that
// triggered it. The command guard swallows it without a word.
class Abort {};
