// Any command line splits without fault, and every argument, quoted, comes back whole.
#include "host/CommandLine.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString line = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    QStringList arguments = splitCommandLine(line);
    arguments.removeAll(QString()); // an empty argument is written as nothing at all
    arguments << line;
    QStringList quoted;
    for (const QString& argument : arguments) {
        if (argument.isEmpty())
            continue;
        if (splitCommandLine(quoteCommandLineArgument(argument)) != QStringList{argument})
            std::abort();
        quoted << quoteCommandLineArgument(argument);
    }
    arguments.removeAll(QString());
    if (splitCommandLine(quoted.join(u' ')) != arguments)
        std::abort();
    return 0;
}
