#include "JavaSource.h"

#include <QList>
#include <QRegularExpression>

namespace {
// The text with comments and the insides of string, text-block and character literals replaced by
// blanks (line ends kept), so that nothing in them is taken for code.
QString codeOnly(QStringView source)
{
    QString code = source.toString();
    const qsizetype n = code.size();
    auto blank = [&](qsizetype from, qsizetype to) {
        for (qsizetype i = from; i < to && i < n; ++i) {
            if (code[i] != u'\n' && code[i] != u'\r')
                code[i] = u' ';
        }
    };
    qsizetype i = 0;
    while (i < n) {
        const QChar c = code[i];
        const QChar next = i + 1 < n ? code[i + 1] : QChar();
        if (c == u'/' && next == u'/') {
            qsizetype end = i;
            while (end < n && code[end] != u'\n')
                ++end;
            blank(i, end);
            i = end;
        } else if (c == u'/' && next == u'*') {
            const qsizetype close = code.indexOf(QLatin1String("*/"), i + 2);
            const qsizetype end = close < 0 ? n : close + 2;
            blank(i, end);
            i = end;
        } else if (c == u'"' && code.mid(i, 3) == QLatin1String("\"\"\"")) {
            qsizetype end = i + 3;
            while (end < n && !(code[end] == u'"' && code.mid(end, 3) == QLatin1String("\"\"\"") && code[end - 1] != u'\\'))
                ++end;
            end = std::min(n, end + 3);
            blank(i, end);
            i = end;
        } else if (c == u'"' || c == u'\'') {
            qsizetype end = i + 1;
            while (end < n && code[end] != c && code[end] != u'\n')
                end += code[end] == u'\\' ? 2 : 1;
            end = std::min(n, end + 1);
            blank(i, end);
            i = end;
        } else {
            ++i;
        }
    }
    return code;
}

struct TopLevelType {
    QString name;
    bool isPublic = false;
    bool isApplet = false;
    bool hasMain = false;
    qsizetype bodyStart = -1; // the "{" that opens its body
    qsizetype bodyEnd = -1;   // its matching "}" (the end of the text when missing)
};

QString withoutBlanks(QString text)
{
    text.remove(QRegularExpression(QStringLiteral("\\s+")));
    return text;
}

QRegularExpressionMatch matchPackage(const QString& code)
{
    static const QRegularExpression packagePattern(
        QStringLiteral("^\\s*(?:@[\\w.]+\\s*)*package\\s+([\\w$]+(?:\\s*\\.\\s*[\\w$]+)*)\\s*;"));
    return packagePattern.match(code);
}
} // namespace

JavaProgramInfo describeJavaProgram(QStringView source)
{
    const QString code = codeOnly(source);
    JavaProgramInfo info;

    if (const QRegularExpressionMatch match = matchPackage(code); match.hasMatch())
        info.packageName = withoutBlanks(match.captured(1));

    // Braces outside of literals and comments give each position its depth.
    QList<TopLevelType> types;
    static const QRegularExpression typePattern(
        QStringLiteral("(?<![\\w$.@])(class|interface|enum|record)\\s+([A-Za-z_$][\\w$]*)"));
    static const QRegularExpression appletPattern(
        QStringLiteral("\\bextends\\s+(?:java\\s*\\.\\s*applet\\s*\\.\\s*|javax\\s*\\.\\s*swing\\s*\\.\\s*)?J?Applet\\b"));
    int depth = 0;
    qsizetype scanned = 0;
    auto depthAt = [&](qsizetype position) {
        for (; scanned < position; ++scanned) {
            if (code[scanned] == u'{')
                ++depth;
            else if (code[scanned] == u'}')
                depth = std::max(0, depth - 1);
        }
        return depth;
    };
    for (QRegularExpressionMatchIterator it = typePattern.globalMatch(code); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        if (!types.isEmpty() && match.capturedStart() < types.last().bodyEnd)
            continue; // inside the previous top-level type
        if (depthAt(match.capturedStart()) != 0)
            continue;
        TopLevelType type;
        type.name = match.captured(2);
        qsizetype declarationStart = match.capturedStart();
        while (declarationStart > 0 && code[declarationStart - 1] != u';' && code[declarationStart - 1] != u'}'
               && code[declarationStart - 1] != u'{')
            --declarationStart;
        type.isPublic = code.mid(declarationStart, match.capturedStart() - declarationStart)
                            .contains(QRegularExpression(QStringLiteral("\\bpublic\\b")));
        type.bodyStart = code.indexOf(u'{', match.capturedEnd());
        if (type.bodyStart < 0)
            break;
        type.isApplet = appletPattern.match(code.mid(match.capturedEnd(), type.bodyStart - match.capturedEnd())).hasMatch();
        int level = 0;
        type.bodyEnd = code.size();
        for (qsizetype i = type.bodyStart; i < code.size(); ++i) {
            if (code[i] == u'{') {
                ++level;
            } else if (code[i] == u'}' && --level == 0) {
                type.bodyEnd = i;
                break;
            }
        }
        types.push_back(type);
    }

    static const QRegularExpression mainPattern(QStringLiteral(
        "\\bstatic\\s+(?:[\\w@]+\\s+)*void\\s+main\\s*\\(\\s*(?:final\\s+)?(?:java\\s*\\.\\s*lang\\s*\\.\\s*)?String\\s*"
        "(?:\\[\\s*\\]\\s*[\\w$]+|\\.\\.\\.\\s*[\\w$]+|[\\w$]+\\s*\\[\\s*\\])\\s*\\)"));
    for (TopLevelType& type : types) {
        // Only the type's own methods, one level inside its body, count.
        const QString body = code.mid(type.bodyStart + 1, type.bodyEnd - type.bodyStart - 1);
        for (QRegularExpressionMatchIterator it = mainPattern.globalMatch(body); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            const QStringView before = QStringView(body).left(match.capturedStart());
            if (before.count(u'{') == before.count(u'}')) {
                type.hasMain = true;
                break;
            }
        }
    }

    auto pick = [&](auto&& accepts) -> const TopLevelType* {
        for (const TopLevelType& type : types) {
            if (accepts(type) && type.isPublic)
                return &type;
        }
        for (const TopLevelType& type : types) {
            if (accepts(type))
                return &type;
        }
        return nullptr;
    };
    if (const TopLevelType* first = pick([](const TopLevelType&) { return true; })) {
        info.firstClass = first->name;
        info.isApplet = first->isApplet;
    }
    if (const TopLevelType* main = pick([](const TopLevelType& type) { return type.hasMain; }))
        info.mainClass = main->name;
    return info;
}

QString javaSourceRoot(const QString& folder, const QString& packageName)
{
    if (packageName.isEmpty())
        return folder;
    const QString packagePath = u'/' + QString(packageName).replace(u'.', u'/');
    if (!folder.endsWith(packagePath))
        return QString();
    const QString root = folder.left(folder.size() - packagePath.size());
    return root.isEmpty() ? QStringLiteral("/") : root;
}

JavaSourceRootInfo javaSourceRootOf(const QString& filePath, QStringView source)
{
    // Licence headers are long, but not this long; a cut inside a comment only blanks less.
    const QString code = codeOnly(source.left(65536));
    JavaSourceRootInfo info;
    if (const QRegularExpressionMatch match = matchPackage(code); match.hasMatch()) {
        info.packageName = withoutBlanks(match.captured(1));
        info.packageStart = match.capturedStart(1);
        info.packageEnd = match.capturedEnd(1);
    }
    const qsizetype slash = filePath.lastIndexOf(u'/');
    const QString folder = slash <= 0 ? QStringLiteral("/") : filePath.left(slash);
    info.root = javaSourceRoot(folder, info.packageName);
    if (info.root.isEmpty()) {
        info.root = folder;
        info.misplaced = true;
    }
    return info;
}

QString misplacedPackageText(const QString& fileName, const QString& packageName, const QString& folder)
{
    return QStringLiteral("%1 declares the package %2, so it belongs in a folder %3 under the program's source "
                          "folder; it is in %4.")
        .arg(fileName, packageName, QString(packageName).replace(u'.', u'/'), folder);
}

int javacCaretColumn(QStringView sourceLine, QStringView caretLine)
{
    const qsizetype caret = caretLine.indexOf(u'^');
    if (caret < 0)
        return -1;
    for (qsizetype i = 0; i < caretLine.size(); ++i) {
        const QChar c = caretLine[i];
        if (i != caret && c != u' ' && c != u'\t' && c != u'\r')
            return -1;
    }
    const QStringView prefix = caretLine.left(caret);
    if (prefix.contains(u'\t') || !sourceLine.left(caret).contains(u'\t'))
        return static_cast<int>(std::min(caret, sourceLine.size()));
    qsizetype visual = 0;
    for (qsizetype i = 0; i < sourceLine.size(); ++i) {
        if (visual >= caret)
            return static_cast<int>(i);
        visual = sourceLine[i] == u'\t' ? (visual / 8 + 1) * 8 : visual + 1;
    }
    return static_cast<int>(sourceLine.size());
}

int javaTokenLength(QStringView line, int column)
{
    if (column < 0 || column >= line.size())
        return 0;
    auto isWordCharacter = [](QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'$' || c.isSurrogate(); };
    if (!isWordCharacter(line[column]))
        return 1;
    qsizetype end = column;
    while (end < line.size() && isWordCharacter(line[end]))
        ++end;
    return static_cast<int>(end - column);
}

std::pair<int, int> javaSquiggleAt(QStringView line, int column)
{
    if (column < 0)
        return {0, 0};
    if (column == line.size() && column > 0)
        return {column - 1, 1};
    return {column, javaTokenLength(line, column)};
}
