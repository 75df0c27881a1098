// Any line of compiler output is either no diagnostic or one whose parts come from the line itself.
#include "javatools/JavaToolsText.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString line = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<JavacDiagnostic> diagnostic = parseJavacDiagnostic(line);
    if (!diagnostic)
        return 0;
    if (diagnostic->line < 1 || diagnostic->file.isEmpty() || !line.startsWith(diagnostic->file))
        std::abort();
    // Written out again as javac writes it, it names the same place.
    const QString again = diagnostic->file + u':' + QString::number(diagnostic->line)
        + (diagnostic->isError ? QStringLiteral(": error: ") : QStringLiteral(": warning: ")) + diagnostic->message;
    const std::optional<JavacDiagnostic> reread = parseJavacDiagnostic(again);
    if (!reread || reread->file != diagnostic->file || reread->line != diagnostic->line
        || reread->isError != diagnostic->isError)
        std::abort();
    return 0;
}
