#include "Clock.h"

#include <QLocale>

QString generalDateTimeText(const QDateTime& when)
{
    return QLocale::system().toString(when, QLocale::ShortFormat);
}
