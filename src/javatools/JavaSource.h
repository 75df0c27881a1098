#pragma once

#include <QString>
#include <QStringView>

#include <utility>

// What running a Java source file needs to know about it, read from the text alone.
struct JavaProgramInfo {
    QString packageName; // "a.b" from "package a.b;"; empty in the default package
    QString mainClass;   // the top-level class with a static main(String[]) to run; empty: none
    QString firstClass;  // the public top-level type, else the first one; empty: none
    bool isApplet = false; // firstClass extends Applet or JApplet

    // "a.b.Main", or "Main" in the default package.
    QString qualifiedMainClass() const { return packageName.isEmpty() ? mainClass : packageName + u'.' + mainClass; }
};

// Comments, strings and character literals are skipped; nested types' mains do not count. Of
// several top-level classes with a main, the public one is chosen, else the first.
JavaProgramInfo describeJavaProgram(QStringView source);

// The folder that holds the package's folders, for a source file in folder (absolute, "/"
// separators) that declares packageName: folder itself in the default package; empty when the
// folders do not spell the package ("a.b" needs a folder ending in a/b).
QString javaSourceRoot(const QString& folder, const QString& packageName);

// Where a source file's program begins, the one answer Compile, Run and Check While Typing share.
struct JavaSourceRootInfo {
    QString root;        // the folder that holds the package's folders; the file's own folder when misplaced
    QString packageName; // as the file declares it; empty in the default package
    bool misplaced = false; // the file's folders do not spell its package
    qsizetype packageStart = -1; // the package's name in the text (UTF-16 offsets, end exclusive)
    qsizetype packageEnd = -1;
};

// filePath: absolute, "/" separators. Only the start of source is read: the package declaration
// comes before any type.
JavaSourceRootInfo javaSourceRootOf(const QString& filePath, QStringView source);

// What the user is told about a file whose folders do not spell its package.
QString misplacedPackageText(const QString& fileName, const QString& packageName, const QString& folder);

// javac shows an erroneous line followed by a line with "^" under the column. The 0-based column
// in sourceLine that caretLine points at, or -1 when caretLine is no such line. javac copies the
// source's tabs into the caret line; a caret line of blanks alone under a line with tabs counts
// each tab to the next multiple of 8, as older compilers print it.
int javacCaretColumn(QStringView sourceLine, QStringView caretLine);

// The length of the token at column of line: a whole word (name, keyword or number), else one
// character; 0 at or past the end of the line.
int javaTokenLength(QStringView line, int column);

// The columns a diagnostic at column of line underlines: {first column, length}, the length 0 when
// there is nothing to underline. javac points just past the end of a line for what is missing there
// (a ";"): the last character before it is underlined.
std::pair<int, int> javaSquiggleAt(QStringView line, int column);
