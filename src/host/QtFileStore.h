#pragma once

#include "FileStore.h"

class QtFileStore : public FileStore {
public:
    QByteArray readAll(const QString& path, qint64 maxBytes) override;
    void writeAll(const QString& path, const QByteArray& bytes) override;
};
