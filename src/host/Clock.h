#pragma once

#include <QDateTime>
#include <QString>

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime Now() = 0;
};

// The system's general date and time format, as the status bar and Date and Time show it.
QString generalDateTimeText(const QDateTime& when);
