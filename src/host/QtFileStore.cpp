#include "QtFileStore.h"

#include "HostError.h"

#include <QFile>
#include <QSaveFile>

QByteArray QtFileStore::readAll(const QString& path, qint64 maxBytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw HostError(QStringLiteral("Cannot open %1:\n%2").arg(path, file.errorString()));
    if (file.size() > maxBytes)
        throw HostError(QStringLiteral("Cannot open %1:\nThe file is larger than %2 MiB.").arg(path).arg(maxBytes >> 20));
    return file.readAll();
}

void QtFileStore::writeAll(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw HostError(QStringLiteral("Cannot save %1:\n%2").arg(path, file.errorString()));
}
