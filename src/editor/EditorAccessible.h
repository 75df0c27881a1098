#pragma once

#include <QAccessibleWidget>

class EditorSurface;

// What a screen reader sees of the editor: its text, caret and selection in UTF-16 offsets. Offsets
// and positions are converted through the control's line index, so a request costs the same at the
// end of a big file as at its start, and every request is checked against the text as it is now:
// offsets past the end, negative or huge, and ranges the wrong way round get an answer, not a crash.
class EditorAccessible : public QAccessibleWidget,
                         public QAccessibleTextInterface,
                         public QAccessibleEditableTextInterface {
public:
    explicit EditorAccessible(EditorSurface* editor);

    // Makes every EditorSurface answer through this class instead of the control's own accessibility
    // code, and keeps screen readers told where the caret and the selection are. Idempotent.
    static void install(EditorSurface* editor);

    QAccessible::State state() const override;
    // The name is the one given to the EditorControl the component sits in.
    QString text(QAccessible::Text t) const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    // QAccessibleTextInterface
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
        int* endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
        int* endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
        int* endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

    // QAccessibleEditableTextInterface
    void deleteText(int startOffset, int endOffset) override;
    void insertText(int offset, const QString& text) override;
    void replaceText(int startOffset, int endOffset, const QString& text) override;

private:
    EditorSurface* editor() const;
    // offset as an offset of the text, or -1 if it names none: -1 stands for the end, -2 for the caret.
    int checkedOffset(int offset) const;
};
