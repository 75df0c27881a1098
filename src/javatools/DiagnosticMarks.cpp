#include "DiagnosticMarks.h"

#include "JavaSource.h"

#include "document/Document.h"
#include "host/EditorControl.h"

#include <QHelpEvent>
#include <QToolTip>

namespace {
constexpr int MarkerMargin = 1;
} // namespace

DiagnosticMarks::DiagnosticMarks(EditorControl& text1, Document& document, QObject* parent)
    : QObject(parent), text1_(text1)
{
    text1_.setMarginType(MarkerMargin, QsciScintilla::SymbolMargin);
    text1_.setMarginWidth(MarkerMargin, 14);
    text1_.setMarginMarkerMask(MarkerMargin, (1 << ErrorMarker) | (1 << WarningMarker));
    text1_.markerDefine(QsciScintilla::Circle, ErrorMarker);
    text1_.setMarkerBackgroundColor(QColor(0xd0, 0x20, 0x20), ErrorMarker);
    text1_.setMarkerForegroundColor(QColor(0x80, 0x00, 0x00), ErrorMarker);
    text1_.markerDefine(QsciScintilla::RightTriangle, WarningMarker);
    text1_.setMarkerBackgroundColor(QColor(0xe8, 0xb0, 0x00), WarningMarker);
    text1_.setMarkerForegroundColor(QColor(0x80, 0x60, 0x00), WarningMarker);
    text1_.indicatorDefine(QsciScintilla::SquiggleIndicator, ErrorIndicator);
    text1_.setIndicatorForegroundColor(QColor(0xd0, 0x20, 0x20), ErrorIndicator);
    text1_.indicatorDefine(QsciScintilla::SquiggleIndicator, WarningIndicator);
    text1_.setIndicatorForegroundColor(QColor(0xc0, 0x90, 0x00), WarningIndicator);
    text1_.viewport()->installEventFilter(this);

    connect(&text1_, &EditorControl::Change, this, [this] {
        if ((!marks_.isEmpty() || hasIndicators_) && (text1_.utf8Length() == 0 || text1_.documentId() != markedText_))
            clear();
    });
    connect(&document, &Document::currentFileChanged, this, [this] {
        if (!marks_.isEmpty() || hasIndicators_)
            clear();
    });
}

DiagnosticMarks::~DiagnosticMarks()
{
    text1_.viewport()->removeEventFilter(this);
}

bool DiagnosticMarks::mark(int line, bool isError, const QString& message)
{
    if (line < 0 || line >= text1_.lines())
        return false;
    const int handle = text1_.markerAdd(text1_.viewLine(line), isError ? ErrorMarker : WarningMarker);
    if (handle < 0)
        return false;
    marks_.push_back({handle, message});
    markedText_ = text1_.documentId();
    return true;
}

bool DiagnosticMarks::markColumn(int line, int column, bool isError)
{
    if (line < 0 || line >= text1_.lines() || column < 0)
        return false;
    QString text = text1_.text(line);
    while (text.endsWith(u'\n') || text.endsWith(u'\r'))
        text.chop(1);
    int length = javaTokenLength(text, column);
    // javac points just past the end of a line for what is missing there (a ";"): the last
    // character before it is marked.
    if (length == 0 && column == text.size() && column > 0) {
        --column;
        length = 1;
    }
    if (length == 0)
        return false;
    const qsizetype start = text1_.offsetOfLine(line) + column;
    text1_.fillIndicator(isError ? ErrorIndicator : WarningIndicator, start, start + length);
    markedText_ = text1_.documentId();
    hasIndicators_ = true;
    return true;
}

void DiagnosticMarks::clear()
{
    text1_.clearIndicator(ErrorIndicator);
    text1_.clearIndicator(WarningIndicator);
    hasIndicators_ = false;
    text1_.markerDeleteAll(ErrorMarker);
    text1_.markerDeleteAll(WarningMarker);
    marks_.clear();
}

QList<int> DiagnosticMarks::markedLines() const
{
    QList<int> lines;
    for (const Mark& mark : marks_) {
        if (const int line = text1_.markerLine(mark.handle); line >= 0)
            lines.push_back(line);
    }
    return lines;
}

QString DiagnosticMarks::messagesOnLine(int line) const
{
    QStringList messages;
    for (const Mark& mark : marks_) {
        if (text1_.markerLine(mark.handle) == line)
            messages << mark.message;
    }
    return messages.join(u'\n');
}

bool DiagnosticMarks::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != text1_.viewport() || event->type() != QEvent::ToolTip)
        return QObject::eventFilter(watched, event);
    // Hovering a mark in the margin shows what the compiler said about that line.
    auto* help = static_cast<QHelpEvent*>(event);
    if (marks_.isEmpty() || help->pos().x() >= text1_.textAreaLeft())
        return false;
    const QString messages = messagesOnLine(text1_.lineAtY(help->pos().y()));
    if (messages.isEmpty()) {
        QToolTip::hideText();
        return true;
    }
    QToolTip::showText(help->globalPos(), messages, text1_.viewport());
    return true;
}
