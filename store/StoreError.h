#pragma once

#include <QString>
#include <stdexcept>

// A failure of the table store, carrying the store's own message text.
class StoreError : public std::runtime_error {
public:
    explicit StoreError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const noexcept { return m_message; }

private:
    QString m_message;
};

// The silent abort: thrown by a handler to cancel the operation that
// triggered it. The command guard swallows it without a word.
class Abort {};
