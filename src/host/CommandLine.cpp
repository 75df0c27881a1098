#include "CommandLine.h"

namespace {
bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}
} // namespace

QStringList splitCommandLine(const QString& commandLine)
{
    QStringList arguments;
    QString current;
    bool inArgument = false; // also true for an argument that is only "" so far
    bool inQuotes = false;
    const qsizetype n = commandLine.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = commandLine[i];
        if (c == u'\\') {
            qsizetype slashes = 0;
            while (i < n && commandLine[i] == u'\\') {
                ++slashes;
                ++i;
            }
            inArgument = true;
            if (i < n && commandLine[i] == u'"') {
                current += QString(slashes / 2, u'\\');
                if (slashes % 2 == 1) {
                    current += u'"';
                    ++i;
                }
                // An even count leaves the quote to the next round, where it groups.
            } else {
                current += QString(slashes, u'\\');
            }
            continue;
        }
        if (c == u'"') {
            inArgument = true;
            if (inQuotes && i + 1 < n && commandLine[i + 1] == u'"') {
                current += u'"';
                i += 2;
                continue;
            }
            inQuotes = !inQuotes;
            ++i;
            continue;
        }
        if (isBlank(c) && !inQuotes) {
            if (inArgument) {
                arguments << current;
                current.clear();
                inArgument = false;
            }
            ++i;
            continue;
        }
        current += c;
        inArgument = true;
        ++i;
    }
    if (inArgument)
        arguments << current;
    return arguments;
}

QString quoteCommandLineArgument(const QString& argument)
{
    bool needsQuotes = false;
    for (const QChar c : argument) {
        if (isBlank(c) || c == u'"') {
            needsQuotes = true;
            break;
        }
    }
    if (!needsQuotes)
        return argument;

    QString quoted(u'"');
    qsizetype slashes = 0;
    for (const QChar c : argument) {
        if (c == u'\\') {
            ++slashes;
            continue;
        }
        if (c == u'"') {
            // Backslashes before a quote are doubled, and the quote itself escaped.
            quoted += QString(slashes * 2 + 1, u'\\');
            quoted += u'"';
        } else {
            quoted += QString(slashes, u'\\');
            quoted += c;
        }
        slashes = 0;
    }
    // Backslashes before the closing quote are doubled so that it still closes.
    quoted += QString(slashes * 2, u'\\');
    quoted += u'"';
    return quoted;
}

QString displayCommandLine(const QString& program, const QStringList& arguments)
{
    QString line = quoteCommandLineArgument(program);
    for (const QString& argument : arguments)
        line += u' ' + quoteCommandLineArgument(argument);
    return line;
}
