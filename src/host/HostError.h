#pragma once

#include <QString>
#include <stdexcept>

// An error raised by a platform service (a file that cannot be read, a program that cannot be started).
// Commands let it pass to whoever started them; the toolbar router drops it, the menu reports it.
class HostError : public std::runtime_error {
public:
    explicit HostError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};
