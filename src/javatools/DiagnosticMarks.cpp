#include "DiagnosticMarks.h"

#include "document/Document.h"
#include "editor/EditorControl.h"

#include <QHelpEvent>
#include <QStringList>
#include <QToolTip>

#include <algorithm>

namespace {
constexpr int MarkerMargin = 1;

int index(Diagnostic::Source source)
{
    return source == Diagnostic::Source::Compile ? 0 : 1;
}

int indicatorFor(Diagnostic::Source source, bool isError)
{
    if (source == Diagnostic::Source::Check)
        return isError ? DiagnosticMarks::CheckErrorIndicator : DiagnosticMarks::CheckWarningIndicator;
    return isError ? DiagnosticMarks::ErrorIndicator : DiagnosticMarks::WarningIndicator;
}
} // namespace

DiagnosticMarks::DiagnosticMarks(EditorControl& text1, Document& document, QObject* parent)
    : QObject(parent), text1_(text1)
{
    text1_.showMarkerMargin(MarkerMargin, 14, (1u << ErrorMarker) | (1u << WarningMarker));
    text1_.defineMarker(ErrorMarker, EditorControl::MarkerShape::Circle, QColor(0xd0, 0x20, 0x20), QColor(0x80, 0x00, 0x00));
    text1_.defineMarker(WarningMarker, EditorControl::MarkerShape::RightTriangle, QColor(0xe8, 0xb0, 0x00), QColor(0x80, 0x60, 0x00));
    text1_.defineSquiggle(ErrorIndicator, QColor(0xd0, 0x20, 0x20));
    text1_.defineSquiggle(WarningIndicator, QColor(0xc0, 0x90, 0x00));
    text1_.defineSquiggle(CheckErrorIndicator, QColor(0xe0, 0x10, 0x10));
    text1_.defineSquiggle(CheckWarningIndicator, QColor(0xd0, 0x90, 0x00));
    text1_.viewport()->installEventFilter(this);

    connect(&document, &Document::textChanged, this, [this, &document] {
        if ((!marks_.isEmpty() || squiggles_[0] || squiggles_[1]) && (document.byteCount() == 0 || document.textId() != markedText_))
            clear();
    });
    connect(&document, &Document::currentFileChanged, this, [this] {
        if (!marks_.isEmpty() || squiggles_[0] || squiggles_[1])
            clear();
    });
}

DiagnosticMarks::~DiagnosticMarks()
{
    text1_.viewport()->removeEventFilter(this);
}

void DiagnosticMarks::show(Diagnostic::Source source, const QList<Diagnostic>& diagnostics)
{
    clear();
    for (Diagnostic d : diagnostics) {
        d.source = source;
        const int handle = text1_.addMarker(d.line, d.isError ? ErrorMarker : WarningMarker);
        if (handle < 0)
            continue;
        if (d.from >= 0)
            squiggle(source, d.isError, d.from, d.to);
        marks_.push_back({handle, std::move(d)});
    }
    markedText_ = text1_.documentId();
}

QList<Diagnostic> DiagnosticMarks::diagnostics() const
{
    QList<Diagnostic> shown;
    shown.reserve(marks_.size());
    for (const Mark& mark : marks_) {
        shown.push_back(mark.diagnostic);
        shown.back().line = text1_.markerLine(mark.handle);
    }
    return shown;
}

void DiagnosticMarks::squiggle(Diagnostic::Source source, bool isError, qsizetype from, qsizetype to)
{
    text1_.fillIndicator(indicatorFor(source, isError), from, to);
    squiggles_[index(source)] = true;
}

void DiagnosticMarks::clear()
{
    clear(Diagnostic::Source::Compile);
    clear(Diagnostic::Source::Check);
}

void DiagnosticMarks::clear(Diagnostic::Source source)
{
    if (squiggles_[index(source)]) {
        text1_.clearIndicator(indicatorFor(source, true));
        text1_.clearIndicator(indicatorFor(source, false));
        squiggles_[index(source)] = false;
    }
    if (std::none_of(marks_.cbegin(), marks_.cend(), [&](const Mark& m) { return m.diagnostic.source == source; }))
        return;
    // The control drops markers by kind only: the other source's marks are set again where they are.
    QList<std::pair<int, Mark>> kept;
    for (const Mark& mark : std::as_const(marks_)) {
        if (mark.diagnostic.source != source)
            kept.push_back({text1_.markerLine(mark.handle), mark});
    }
    text1_.deleteMarkers(ErrorMarker);
    text1_.deleteMarkers(WarningMarker);
    marks_.clear();
    for (auto& [line, mark] : kept) {
        mark.diagnostic.line = line;
        mark.handle = text1_.addMarker(line, mark.diagnostic.isError ? ErrorMarker : WarningMarker);
        if (mark.handle >= 0)
            marks_.push_back(mark);
    }
}

bool DiagnosticMarks::shows(Diagnostic::Source source) const
{
    return squiggles_[index(source)]
        || std::any_of(marks_.cbegin(), marks_.cend(), [&](const Mark& m) { return m.diagnostic.source == source; });
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
            messages << mark.diagnostic.message;
    }
    return messages.join(u'\n');
}

bool DiagnosticMarks::overSquiggle(qsizetype offset) const
{
    if (offset < 0)
        return false;
    for (const int indicator : {ErrorIndicator, WarningIndicator, CheckErrorIndicator, CheckWarningIndicator}) {
        if (text1_.indicatorAt(indicator, offset))
            return true;
    }
    return false;
}

bool DiagnosticMarks::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != text1_.viewport() || event->type() != QEvent::ToolTip)
        return QObject::eventFilter(watched, event);
    // Hovering a mark in the margin, or a squiggle, shows what the compiler said about that line.
    auto* help = static_cast<QHelpEvent*>(event);
    if (help->pos().x() < text1_.textAreaLeft()) {
        if (marks_.isEmpty())
            return false;
        const QString messages = messagesOnLine(text1_.lineAtY(help->pos().y()));
        if (messages.isEmpty()) {
            QToolTip::hideText();
            return true;
        }
        QToolTip::showText(help->globalPos(), messages, text1_.viewport());
        return true;
    }
    if (!squiggles_[0] && !squiggles_[1])
        return false;
    const QString messages = overSquiggle(text1_.offsetAt(help->pos())) ? messagesOnLine(text1_.lineAtY(help->pos().y())) : QString();
    if (messages.isEmpty())
        return QObject::eventFilter(watched, event);
    QToolTip::showText(help->globalPos(), messages, text1_.viewport());
    return true;
}
