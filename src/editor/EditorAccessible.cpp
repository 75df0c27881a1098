#include "EditorAccessible.h"

#include "EditorSurface.h"

#include <QAccessible>

#include <algorithm>
#include <limits>

namespace {
int toInt(qsizetype value)
{
    return static_cast<int>(std::clamp<qsizetype>(value, -1, std::numeric_limits<int>::max()));
}

EditorSurface::TextUnit unitOf(QAccessible::TextBoundaryType type)
{
    switch (type) {
    case QAccessible::CharBoundary:
        return EditorSurface::TextUnit::Character;
    case QAccessible::WordBoundary:
        return EditorSurface::TextUnit::Word;
    case QAccessible::NoBoundary:
        return EditorSurface::TextUnit::Whole;
    case QAccessible::SentenceBoundary: // source code has lines, not sentences or paragraphs
    case QAccessible::ParagraphBoundary:
    case QAccessible::LineBoundary:
        break;
    }
    return EditorSurface::TextUnit::Line;
}

// The EditorControl around the component only frames it: the text, its name and the keyboard focus
// are the component's (its focus proxy), so that assistive tools find one focused text, not two.
class EditorFrameAccessible : public QAccessibleWidget {
public:
    explicit EditorFrameAccessible(QWidget* frame) : QAccessibleWidget(frame, QAccessible::Grouping) {}
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.focused = false;
        state.focusable = false;
        return state;
    }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name || t == QAccessible::Description ? QString() : QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* editorFactory(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1String("EditorSurface"))
        return new EditorAccessible(static_cast<EditorSurface*>(object));
    if (className == QLatin1String("EditorControl"))
        return new EditorFrameAccessible(static_cast<QWidget*>(object));
    return nullptr;
}
} // namespace

EditorAccessible::EditorAccessible(EditorSurface* editor) : QAccessibleWidget(editor, QAccessible::EditableText)
{
    editor->reportEditsForAccessibility();
}

void EditorAccessible::install(EditorSurface* editor)
{
    static const bool installed = [] {
        QAccessible::installFactory(editorFactory);
        return true;
    }();
    Q_UNUSED(installed);
    // The control's own code tells of the caret only through its own interface, which is no longer
    // made, and of edits only when they bypass EditorSurface; so these events go out from here.
    QObject::connect(editor, &QsciScintilla::cursorPositionChanged, editor, [editor] {
        if (!QAccessible::isActive())
            return;
        QAccessibleTextCursorEvent event(editor, toInt(editor->caretOffset()));
        QAccessible::updateAccessibility(&event);
    });
    QObject::connect(editor, &EditorSurface::accessibleTextInserted, editor, [editor](qsizetype offset, const QString& text) {
        QAccessibleTextInsertEvent event(editor, toInt(offset), text);
        QAccessible::updateAccessibility(&event);
    });
    QObject::connect(editor, &EditorSurface::accessibleTextRemoved, editor, [editor](qsizetype offset, const QString& text) {
        QAccessibleTextRemoveEvent event(editor, toInt(offset), text);
        QAccessible::updateAccessibility(&event);
    });
    QObject::connect(editor, &QsciScintilla::selectionChanged, editor, [editor] {
        if (!QAccessible::isActive())
            return;
        auto [anchor, caret] = editor->selectionOffsets();
        QAccessibleTextSelectionEvent event(editor, toInt(std::min(anchor, caret)), toInt(std::max(anchor, caret)));
        event.setCursorPosition(toInt(caret));
        QAccessible::updateAccessibility(&event);
    });
}

QString EditorAccessible::text(QAccessible::Text t) const
{
    if ((t == QAccessible::Name || t == QAccessible::Description) && editor()->parentWidget()) {
        const QWidget* control = editor()->parentWidget();
        const QString given = t == QAccessible::Name ? control->accessibleName() : control->accessibleDescription();
        if (!given.isEmpty())
            return given;
    }
    return QAccessibleWidget::text(t);
}

EditorSurface* EditorAccessible::editor() const
{
    return static_cast<EditorSurface*>(widget());
}

QAccessible::State EditorAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.multiLine = true;
    state.selectableText = true;
    state.readOnly = editor()->isReadOnly();
    state.editable = !state.readOnly;
    return state;
}

void* EditorAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    if (type == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

int EditorAccessible::checkedOffset(int offset) const
{
    if (offset == -2)
        return cursorPosition();
    const int count = characterCount();
    if (offset == -1)
        return count;
    return offset < 0 || offset > count ? -1 : offset;
}

void EditorAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const
{
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || !editor()->hasSelectedText())
        return;
    const auto [anchor, caret] = editor()->selectionOffsets();
    *startOffset = toInt(std::min(anchor, caret));
    *endOffset = toInt(std::max(anchor, caret));
}

int EditorAccessible::selectionCount() const
{
    return editor()->hasSelectedText() ? 1 : 0;
}

void EditorAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void EditorAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        editor()->setCaretOffset(editor()->caretOffset());
}

void EditorAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex == 0)
        editor()->selectOffsets(startOffset, endOffset);
}

int EditorAccessible::cursorPosition() const
{
    return toInt(editor()->caretOffset());
}

void EditorAccessible::setCursorPosition(int position)
{
    editor()->setCaretOffset(position);
}

QString EditorAccessible::text(int startOffset, int endOffset) const
{
    if (endOffset < 0) // -1: up to the end
        endOffset = std::numeric_limits<int>::max();
    return editor()->textBetween(startOffset, endOffset);
}

QString EditorAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
    int* endOffset) const
{
    *startOffset = *endOffset = -1;
    offset = checkedOffset(offset);
    if (offset < 0)
        return QString();
    const auto [start, end] = editor()->unitAt(offset, unitOf(boundaryType));
    *startOffset = toInt(start);
    *endOffset = toInt(end);
    return editor()->textBetween(start, end);
}

QString EditorAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
    int* startOffset, int* endOffset) const
{
    *startOffset = *endOffset = -1;
    offset = checkedOffset(offset);
    if (offset < 0)
        return QString();
    const auto unit = unitOf(boundaryType);
    const qsizetype start = unit == EditorSurface::TextUnit::Whole ? 0 : editor()->unitAt(offset, unit).first;
    if (start == 0)
        return QString();
    return textAtOffset(toInt(start - 1), boundaryType, startOffset, endOffset);
}

QString EditorAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
    int* startOffset, int* endOffset) const
{
    *startOffset = *endOffset = -1;
    offset = checkedOffset(offset);
    if (offset < 0)
        return QString();
    const auto [start, end] = editor()->unitAt(offset, unitOf(boundaryType));
    if (end <= start || end >= characterCount())
        return QString();
    return textAtOffset(toInt(end), boundaryType, startOffset, endOffset);
}

int EditorAccessible::characterCount() const
{
    return toInt(editor()->textLength());
}

QRect EditorAccessible::characterRect(int offset) const
{
    offset = checkedOffset(offset);
    if (offset < 0)
        return QRect();
    QRect rect = editor()->characterRect(offset);
    rect.moveTopLeft(editor()->viewport()->mapToGlobal(rect.topLeft()));
    return rect;
}

int EditorAccessible::offsetAtPoint(const QPoint& point) const
{
    return toInt(editor()->offsetAt(editor()->viewport()->mapFromGlobal(point)));
}

void EditorAccessible::scrollToSubstring(int startIndex, int endIndex)
{
    editor()->scrollToOffsets(startIndex, endIndex);
}

QString EditorAccessible::attributes(int offset, int* startOffset, int* endOffset) const
{
    // No attributes worth reading out: the whole text is one plain run.
    *startOffset = *endOffset = -1;
    if (checkedOffset(offset) < 0)
        return QString();
    *startOffset = 0;
    *endOffset = characterCount();
    return QString();
}

void EditorAccessible::deleteText(int startOffset, int endOffset)
{
    replaceText(startOffset, endOffset, QString());
}

void EditorAccessible::insertText(int offset, const QString& text)
{
    replaceText(offset, offset, text);
}

void EditorAccessible::replaceText(int startOffset, int endOffset, const QString& text)
{
    if (editor()->isReadOnly())
        return;
    editor()->replaceBetween(startOffset, endOffset, text);
}
