#include "JavaEditing.h"

#include "editor/EditorControl.h"

#include <QRegularExpression>

#include <algorithm>

namespace JavaEditing {

namespace {
int indentOf(const QString& line, int tabWidth)
{
    int columns = 0;
    for (const QChar c : line) {
        if (c == u' ')
            ++columns;
        else if (c == u'\t')
            columns += tabWidth - columns % tabWidth;
        else
            break;
    }
    return columns;
}

// The code of a line: strings, characters and comments taken out, blanks at the ends too. A block
// comment that does not end on the line leaves its start out as well.
QString codeOf(const QString& line)
{
    QString code;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == u'"' || c == u'\'') {
            qsizetype j = i + 1;
            while (j < line.size() && line[j] != c)
                j += line[j] == u'\\' ? 2 : 1;
            code += c;
            code += c;
            i = j;
            continue;
        }
        if (c == u'/' && i + 1 < line.size() && line[i + 1] == u'/')
            break;
        if (c == u'/' && i + 1 < line.size() && line[i + 1] == u'*') {
            const qsizetype end = line.indexOf(QStringLiteral("*/"), i + 2);
            if (end < 0)
                break;
            i = end + 1;
            continue;
        }
        code += c;
    }
    return code.trimmed();
}

// if (...), for (...), while (...), else if (...), else or do, with no brace and no statement of
// its own on the line: the next line is its body.
bool isBracelessHeader(const QString& code)
{
    static const QRegularExpression keyword(QStringLiteral("^(?:\\}\\s*)?(?:else\\s+if|if|for|while)\\s*\\("));
    if (code == u"else" || code == u"do" || code == u"} else")
        return true;
    const QRegularExpressionMatch match = keyword.match(code);
    if (!match.hasMatch() || !code.endsWith(u')'))
        return false;
    // The parenthesis that the keyword opens must close at the very end.
    int depth = 0;
    for (qsizetype i = match.capturedEnd() - 1; i < code.size(); ++i) {
        if (code[i] == u'(')
            ++depth;
        else if (code[i] == u')' && --depth == 0)
            return i == code.size() - 1;
    }
    return false;
}

bool isBlank(const QString& line)
{
    return line.trimmed().isEmpty();
}
} // namespace

int newLineIndent(const QStringList& linesAbove, int tabWidth)
{
    tabWidth = std::max(1, tabWidth);
    qsizetype last = linesAbove.size() - 1;
    while (last >= 0 && isBlank(linesAbove[last]))
        --last;
    if (last < 0)
        return 0;
    const QString& line = linesAbove[last];
    const int indent = indentOf(line, tabWidth);
    const QString code = codeOf(line);
    const auto opens = code.count(u'{');
    const auto closes = code.count(u'}');
    if (code.endsWith(u'{') || opens > closes || isBracelessHeader(code)
        || (code.endsWith(u':') && (code.startsWith(QStringLiteral("case ")) || code == u"default:")))
        return indent + tabWidth;
    if (!code.endsWith(u';') && !code.endsWith(u'}'))
        return indent;
    // A complete statement: if it was the body of headers without braces, the next line goes back to
    // the outermost of them.
    int result = indent;
    for (qsizetype above = last - 1; above >= 0; --above) {
        if (isBlank(linesAbove[above]))
            continue;
        if (!isBracelessHeader(codeOf(linesAbove[above])))
            break;
        result = indentOf(linesAbove[above], tabWidth);
    }
    return result;
}

int closingBraceIndent(int indent, int tabWidth)
{
    tabWidth = std::max(1, tabWidth);
    // Back to the level below, also from an indentation between two levels.
    return indent <= 0 ? 0 : (indent - 1) / tabWidth * tabWidth;
}

QStringList toggleLineComments(const QStringList& lines)
{
    const auto leading = [](const QString& line) {
        qsizetype i = 0;
        while (i < line.size() && (line[i] == u' ' || line[i] == u'\t'))
            ++i;
        return i;
    };
    bool anyCode = false;
    bool allCommented = true;
    qsizetype column = -1;
    for (const QString& line : lines) {
        if (isBlank(line))
            continue;
        anyCode = true;
        const qsizetype start = leading(line);
        allCommented = allCommented && QStringView(line).mid(start).startsWith(u"//");
        column = column < 0 ? start : std::min(column, start);
    }
    if (!anyCode)
        return lines;
    QStringList result;
    for (const QString& line : lines) {
        if (isBlank(line)) {
            result.push_back(line);
            continue;
        }
        QString changed = line;
        if (allCommented) {
            const qsizetype start = leading(line);
            const qsizetype length = start + 2 < line.size() && line[start + 2] == u' ' ? 3 : 2;
            changed.remove(start, length);
        } else {
            changed.insert(column, QStringLiteral("// "));
        }
        result.push_back(changed);
    }
    return result;
}

int nextMarkedLine(const QList<int>& markedLines, int caretLine, bool forward)
{
    if (markedLines.isEmpty())
        return -1;
    QList<int> sorted = markedLines;
    std::sort(sorted.begin(), sorted.end());
    if (forward) {
        const auto next = std::upper_bound(sorted.cbegin(), sorted.cend(), caretLine);
        return next == sorted.cend() ? sorted.front() : *next;
    }
    const auto before = std::lower_bound(sorted.cbegin(), sorted.cend(), caretLine);
    return before == sorted.cbegin() ? sorted.back() : *(before - 1);
}

void installAutoIndent(EditorControl& editor)
{
    editor.setAutoIndent(false);
    QObject::connect(&editor, &EditorControl::characterTyped, &editor, [&editor](QChar typed) {
        // A text shown in pieces is a minified file, not one to lay out by hand.
        if (editor.showsPieces())
            return;
        const int line = editor.caretLine() - 1;
        const int width = editor.tabWidth();
        if (typed == u'\n') {
            QStringList above;
            // Enough lines for a few nested headers without braces and blank lines between.
            for (int i = std::max(0, line - 12); i < line; ++i) {
                QString text = editor.text(i);
                while (text.endsWith(u'\n') || text.endsWith(u'\r'))
                    text.chop(1);
                above.push_back(text);
            }
            editor.setIndentationOfLine(line, newLineIndent(above, width));
        } else if (typed == u'}') {
            const QString before = editor.text(line).left(editor.caretColumn() - 1);
            if (before.trimmed() == u"}")
                editor.setIndentationOfLine(line, closingBraceIndent(editor.indentationOfLine(line), width));
        }
    });
}

void toggleComments(EditorControl& editor)
{
    const auto [first, last] = editor.selectedLines();
    QStringList lines;
    for (int line = first; line <= last; ++line) {
        QString text = editor.text(line);
        while (text.endsWith(u'\n') || text.endsWith(u'\r'))
            text.chop(1);
        lines.push_back(text);
    }
    const QStringList changed = toggleLineComments(lines);
    if (changed != lines)
        editor.replaceLines(first, last, changed);
}

} // namespace JavaEditing
