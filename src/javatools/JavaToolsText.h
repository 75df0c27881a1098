#pragma once

#include "document/FileCodec.h"

#include <QString>
#include <QStringList>

#include <optional>

// The texts the Java tools build, kept free of windows so that they can be checked on their own.

// The imports the new-applet wizard offers.
extern const QString DefaultAppletImports; // "import java.awt.*;\r\nimport java.applet.*;\r\n"

// The skeleton of an applet class: the imports as typed, then the class with an empty paint method.
// Neither text is checked or changed.
QString appletSource(const QString& imports, const QString& name);

// javac's arguments for the file: a Windows-1252 file is announced with "-encoding windows-1252"
// before the name, a UTF-16 one with "-encoding UTF-16". An empty name is passed as it is.
QStringList compileArguments(const QString& fileName, TextEncoding encoding);
// The same as the panel shows it: "javac " followed by the arguments, the name quoted when it holds
// blanks or quotes. An empty name gives "javac " alone.
QString compileCommandLine(const QString& fileName, TextEncoding encoding);

// The compiler help note.
QString compilerHelpText();
extern const QString CompilerHelpTitle; // "Tolvane Compiler Help"

// What to tell the user when javac cannot be started: the system's reason and where to get a JDK.
QString javacMissingText(const QString& reason);
// The same for the Java launcher, java, that runs programs.
QString javaMissingText(const QString& reason);

// One line of javac's report on a source file: FILE:LINE: error: MESSAGE (or warning:, or the same
// words in the languages javac speaks).
struct JavacDiagnostic {
    QString file;
    int line = 0; // 1-based
    bool isError = true;
    QString message; // without the "error: " / "warning: " in front

    friend bool operator==(const JavacDiagnostic&, const JavacDiagnostic&) = default;
};

std::optional<JavacDiagnostic> parseJavacDiagnostic(const QString& line);
