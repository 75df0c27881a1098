#include "JavaToolsText.h"

#include "host/CommandLine.h"

#include <QRegularExpression>

const QString DefaultAppletImports = QStringLiteral("import java.awt.*;\r\nimport java.applet.*;\r\n");
const QString CompilerHelpTitle = QStringLiteral("Tolvane Compiler Help");

QString appletSource(const QString& imports, const QString& name)
{
    return imports
        + QStringLiteral("\r\n")
        + QStringLiteral("public class ")
        + name
        + QStringLiteral(" extends Applet")
        + QStringLiteral("\r\n")
        + QStringLiteral("{")
        + QStringLiteral("\r\n")
        + QStringLiteral("\t")
        + QStringLiteral("public void paint(Graphics g)")
        + QStringLiteral("\r\n")
        + QStringLiteral("\t")
        + QStringLiteral("{")
        + QStringLiteral("\r\n")
        + QStringLiteral("\r\n")
        + QStringLiteral("\t")
        + QStringLiteral("}")
        + QStringLiteral("\r\n")
        + QStringLiteral("}");
}

QStringList compileArguments(const QString& fileName, TextEncoding encoding)
{
    QStringList arguments;
    // javac reads sources as UTF-8 in a UTF-8 locale and rejects other bytes as unmappable.
    if (encoding == TextEncoding::Windows1252)
        arguments << QStringLiteral("-encoding") << QStringLiteral("windows-1252");
    // javac takes UTF-16LE and UTF-16BE to have no byte order mark and stops at ours as an illegal
    // character; plain UTF-16 reads the mark and the byte order from it.
    if (encoding == TextEncoding::Utf16LE || encoding == TextEncoding::Utf16BE)
        arguments << QStringLiteral("-encoding") << QStringLiteral("UTF-16");
    return arguments << fileName;
}

QString compileCommandLine(const QString& fileName, TextEncoding encoding)
{
    return displayCommandLine(QStringLiteral("javac"), compileArguments(fileName, encoding));
}

QString compilerHelpText()
{
    return QStringLiteral("To use the compiler option with Tolvane, you must already have a JDK (Perferably from Sun) installed")
        + QStringLiteral(" and functioning on your system. We have only tested with Sun's JDK 1.2, so we recommend you use that.")
        + QStringLiteral("\r\n")
        + QStringLiteral("Product Note: We are working on a version of Tolvane developed in Java. Keep a look out at Orbelle's Web Site for more info");
}

namespace {
QString jdkMissingText(const QString& what, const QString& needs, const QString& reason)
{
    return QStringLiteral("%1 could not be started.\n\n%2\n\n"
                          "%3 needs a Java Development Kit (JDK) whose %4 is on the search path (PATH). "
                          "On Debian or Ubuntu, install one with:\n    sudo apt install default-jdk\n"
                          "Other systems: install a JDK (for example from https://adoptium.net) and add its bin folder to PATH.")
        .arg(what, reason, needs.section(u' ', 0, 0), needs.section(u' ', 1));
}
} // namespace

QString javacMissingText(const QString& reason)
{
    return jdkMissingText(QStringLiteral("The Java compiler"), QStringLiteral("Compiling javac"), reason);
}

QString javaMissingText(const QString& reason)
{
    return jdkMissingText(QStringLiteral("The Java launcher"), QStringLiteral("Running java"), reason);
}

std::optional<JavacDiagnostic> parseJavacDiagnostic(const QString& line)
{
    // The file is the shortest prefix before ":LINE: error: ", so Windows drive letters pass. javac
    // speaks the user's language where it has one: Japanese, Chinese and German besides English.
    static const QRegularExpression pattern(
        QStringLiteral("^(.+?):(\\d+): (error|warning|\u30a8\u30e9\u30fc|\u8b66\u544a|\u9519\u8bef|Fehler|Warnung): ?(.*?)\\r?$"));
    const QRegularExpressionMatch match = pattern.match(line);
    if (!match.hasMatch())
        return std::nullopt;
    bool ok = false;
    const int number = match.captured(2).toInt(&ok);
    if (!ok || number < 1)
        return std::nullopt;
    static const QStringList errorWords = {QStringLiteral("error"), QStringLiteral("\u30a8\u30e9\u30fc"),
                                           QStringLiteral("\u9519\u8bef"), QStringLiteral("Fehler")};
    return JavacDiagnostic{match.captured(1), number, errorWords.contains(match.captured(3)), match.captured(4)};
}
