#pragma once

#include "ProcessStarter.h"

class QtProcessStarter : public ProcessStarter {
public:
    qint64 StartProcess(const QString& commandLine, int windowStyle) override;
};
