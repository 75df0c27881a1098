#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QColor>
#include <QFont>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>
#include <utility>

class EditorSurface;
class QPrinter;

// The main window's editor. Everything here speaks of the text: positions (SelStart, SelLength) are
// 0-based UTF-16 offsets into Text, lines are the text's own 0-based lines (however the view shows
// them), byte positions are positions in the text's UTF-8. Change is emitted after every change of
// the text, the program's own included (once for an edit that makes several, such as a replacement or
// an undo). Text may hold NUL characters: they pass through unharmed.
class EditorControl : public QWidget {
    Q_OBJECT

public:
    explicit EditorControl(QWidget* parent = nullptr);
    ~EditorControl() override;

    QString Text() const;
    void setText(const QString& text);
    // Text decoded into buffer, which the caller keeps from one call to the next so that a long
    // document does not take fresh memory every time; the view is valid until buffer changes.
    QStringView decodeText(QString& buffer) const;

    qsizetype SelStart() const;
    void setSelStart(qsizetype offset);
    qsizetype SelLength() const;
    void setSelLength(qsizetype length);
    QString SelText() const;
    void setSelText(const QString& text);

    // Length of Text in UTF-16 code units.
    qsizetype textLength() const;

    // How many lines the text has, and line (0-based) with its line end.
    int lines() const;
    QString text(int line) const;
    // Whether lines too long to lay out are shown in pieces: the line numbers are hidden then, and
    // line separators of its own cannot be put into the text (lineSeparatorsLeftOut).
    bool showsPieces() const;

    // The text's UTF-8, NULs included, and its replacement in one step. loadUtf8 is the fast path for
    // whole files: the undo history starts empty and the text counts as unmodified.
    QByteArray utf8() const;
    void loadUtf8(const QByteArray& utf8);
    // Makes the text utf8 as one step that Undo takes back whole, changing only the part that
    // differs; the caret stays on its line and the view on its first line, as far as they still exist.
    void replaceAllUtf8(const QByteArray& utf8);
    // The UTF-8 without a copy; valid only until the text next changes. It moves memory: not for
    // every keystroke.
    QByteArrayView utf8View() const;
    qsizetype utf8Length() const;
    // Replaces the bytes [fromByte, toByte) of the UTF-8, as one undoable step.
    void replaceUtf8(qsizetype fromByte, qsizetype toByte, const QByteArray& utf8);
    // The caret as a byte position of the UTF-8; placeCaret puts it there, with nothing selected,
    // and does not scroll.
    qsizetype caretPosition() const;
    void placeCaret(qsizetype bytePosition);

    // Loading in steps, so a big file can be handed over on another thread while the window is still
    // starting: prepareLoad on the UI thread, PreparedLoad::reserve and fill on one other thread, then
    // loadPrepared on the UI thread (which falls back to appending if the fill failed).
    class PreparedLoad {
    public:
        ~PreparedLoad();
        PreparedLoad(const PreparedLoad&) = delete;
        PreparedLoad& operator=(const PreparedLoad&) = delete;
        // Makes the room for the text; may run on any thread, before fill (which otherwise does it).
        // At 100 MB that is 200 MB of memory the system clears: not on the UI thread.
        void reserve();
        // Hands the whole text to the document being prepared; may run on any thread, once.
        void fill(const QByteArray& utf8);

    private:
        friend class EditorSurface;
        PreparedLoad(EditorSurface& editor, qsizetype room) : editor_(editor), room_(room) {}
        EditorSurface& editor_;
        qsizetype room_ = 0;
        bool reserved_ = false;
        void* loader_ = nullptr; // the component's loader; null once it has become a document
        void* document_ = nullptr;
        QByteArray fallback_;
        bool allowPieces_ = false;
        bool pieces_ = false;
    };
    std::unique_ptr<PreparedLoad> prepareLoad(qsizetype expectedBytes);
    // The bytes of room a load of expectedBytes takes for its text (and as many for its colours).
    static qsizetype loadRoom(qsizetype expectedBytes);
    void loadPrepared(PreparedLoad& load);

    // Marks the current text as the saved one: isModified() is false until the text differs again.
    void markSaved();
    bool isModified() const;
    // Forgets the undo history: what is in the editor now cannot be undone.
    void emptyUndoBuffer();
    bool isUndoAvailable() const;
    bool isReadOnly() const;
    void setReadOnly(bool readOnly);
    // Identifies the text buffer shown; a load replaces it with another.
    const void* documentId() const;

    // The line ends Enter types.
    enum class LineEnd { CRLF, LF, CR };
    void setLineEnd(LineEnd lineEnd);
    LineEnd lineEnd() const;

    // The widget the text is drawn in (for tooltips and mouse events), where its text area starts
    // (the margins are left of it), and the 0-based line at a height, in that widget's pixels.
    QWidget* viewport() const;
    int textAreaLeft() const;
    int lineAtY(int y) const;

    // 1-based line and column of the caret (the column counts UTF-16 units).
    int caretLine() const;
    int caretColumn() const;
    // Puts the caret at column (UTF-16 units) of line (0-based), nothing selected.
    void setCursorPosition(int line, int column);
    // Scrolls so that the caret is on screen.
    void ensureCursorVisible();

    // The offset where line (0-based) starts; the text's length past the last line.
    qsizetype offsetOfLine(int line) const;
    // A byte position of the UTF-8 as a UTF-16 offset, and back.
    qsizetype offsetOfPosition(qsizetype bytePosition) const;
    qsizetype positionOfOffset(qsizetype offset) const;

    // Indicators (squiggles and the like) over ranges of Text, in UTF-16 offsets, end exclusive.
    void defineSquiggle(int indicator, const QColor& colour);
    void fillIndicator(int indicator, qsizetype fromOffset, qsizetype toOffset);
    void clearIndicator(int indicator);
    bool indicatorAt(int indicator, qsizetype offset) const;
    QList<std::pair<qsizetype, qsizetype>> indicatorRanges(int indicator) const;

    // Markers on lines, shown in a margin of their own. addMarker returns a handle (negative when
    // the line is not there) by which markerLine finds the line the marker has moved to since, or -1.
    enum class MarkerShape { Circle, RightTriangle };
    void defineMarker(int marker, MarkerShape shape, const QColor& fill, const QColor& outline);
    void showMarkerMargin(int margin, int width, unsigned markers);
    int addMarker(int line, int marker);
    int markerLine(int handle) const;
    void deleteMarkers(int marker);
    // The markers on line, one bit each.
    unsigned markersAtLine(int line) const;
    int marginWidth(int margin) const;

    // Java syntax colours (kept readable on white) in font, with line numbers, brace matching,
    // indenting as the line above and tabs four wide.
    void showJava(const QFont& font);
    // Leaves the keys of Cut, Copy, Paste, Select All, Undo, Redo and the zoom to the menus that
    // show them.
    void leaveMenuKeysToMenus();

    // What assistive tools ask of the text, in UTF-16 offsets. Every offset given is clamped to
    // 0..textLength() and every range put the right way round, so no request can reach past the text.
    enum class TextUnit { Character, Word, Line, Whole };
    // The unit holding the character at offset (at the very end: an empty range there).
    std::pair<qsizetype, qsizetype> unitAt(qsizetype offset, TextUnit unit) const;
    QString textBetween(qsizetype from, qsizetype to) const;
    void replaceBetween(qsizetype from, qsizetype to, const QString& text);
    qsizetype caretOffset() const;
    void setCaretOffset(qsizetype offset);
    // The selection as anchor and caret; selectOffsets(a, a) leaves none.
    std::pair<qsizetype, qsizetype> selectionOffsets() const;
    void selectOffsets(qsizetype anchor, qsizetype caret);
    // Where the character at offset is drawn, in the viewport's coordinates; at the end of the text,
    // the place a character typed there would take.
    QRect characterRect(qsizetype offset) const;
    // The offset of the character under a point of the viewport, or -1 if no character is there.
    qsizetype offsetAt(QPoint viewportPoint) const;
    void scrollToOffsets(qsizetype from, qsizetype to);

    // Edits through these come back as one Change each.
    void undo();
    void redo();
    void cut();
    void copy();
    void paste();
    void clear();
    void selectAll();
    void removeSelectedText();
    void replaceSelectedText(const QString& text);
    void insert(const QString& text);
    void append(const QString& text);

    // Whether an assistive tool listens: edits are told to it then. QAccessible::isActive unless a
    // test says otherwise.
    static bool (*accessibilityListening)();
    // Replaces the text from offset from up to offset to with text, as one step of the undo history,
    // and leaves the caret behind the new text.
    void replaceOffsets(qsizetype from, qsizetype to, const QString& text);
    // Puts the caret at the start of the 1-based line and scrolls that line to the middle of the view.
    void goToLine(int line);
    // The first 1-based line the view shows, and how many whole lines it has room for.
    int firstShownLine() const;
    int linesShown() const;
    void setFirstShownLine(int line);
    // How many points the text is drawn larger (or, below 0, smaller) than its font.
    int zoomLevel() const;
    void zoomIn();
    void zoomOut();
    void zoomTo(int level);

    // A list of choices under the caret, shown in the order given; listChosen tells the index of the
    // one the user picks (Enter, Tab, double click). Typing goes on into the text while it is shown.
    // False, and nothing shown, where no popup can go (a hidden window, a caret off every screen).
    bool showList(const QStringList& items);
    bool listShown() const;
    void closeList();
    // A tip below the text at offset, the UTF-16 range [highlightFrom, highlightTo) of it highlighted.
    bool showTip(qsizetype offset, const QString& text, qsizetype highlightFrom, qsizetype highlightTo);
    bool tipShown() const;
    void closeTip();

    // Whether Enter indents the new line as the line above (on after showJava), and the tab width.
    void setAutoIndent(bool on);
    int tabWidth() const;
    // The indentation of a 0-based line in columns (a tab counts to the next tab stop), and its
    // replacement; setting it leaves the caret after the indentation when it was inside it.
    int indentationOfLine(int line) const;
    void setIndentationOfLine(int line, int columns);
    // The 0-based lines the selection touches (the caret's line without one); a selection that ends
    // at the very start of a line does not take that line.
    std::pair<int, int> selectedLines() const;
    // Replaces the text of lines first..last (without their line ends, which stay) with lines, as
    // one step of the undo history, and selects them.
    void replaceLines(int first, int last, const QStringList& lines);
    // A printer that prints this text with its colours (wrapping long lines), for a print dialog to
    // set up; print puts the whole text on it, with its line numbers where they are shown. False when
    // the printer could not start or is not one from makePrinter.
    std::unique_ptr<QPrinter> makePrinter() const;
    bool print(QPrinter& printer);

signals:
    void Change();
    // isModified() changed.
    void modificationChanged(bool modified);
    void cursorPositionChanged();
    void linesChanged();
    // Every change of the text's UTF-8: removed bytes were deleted at position, or the insertedLength
    // bytes at inserted were put there (the pointer is valid during the call only). A load that
    // replaces the whole text (loadUtf8, loadPrepared) is not reported here.
    void bytesChanged(qsizetype position, qsizetype removed, const char* inserted, qsizetype insertedLength);
    // Each insertion and removal of an edit, once the edit is done, at its UTF-16 offset in the text
    // of that moment; only once an assistive tool has asked for the text.
    void accessibleTextInserted(qsizetype offset, const QString& text);
    void accessibleTextRemoved(qsizetype offset, const QString& text);
    // A text shown in pieces cannot take a line separator of its own (U+2028, U+2029 or U+0085): one
    // that was typed or pasted there was left out.
    void lineSeparatorsLeftOut();
    void listChosen(int index);
    // A key is about to be handled: whatever waits for the control to finish with the previous key
    // (a list to narrow) is to be done now.
    void keyArriving();
    // A character the user typed went into the text (a line break comes as '\n'), after the control
    // has handled it; edits made in answer are part of the same change.
    void characterTyped(QChar character);
    // The text is drawn larger or smaller (zoomLevel).
    void zoomChanged(int level);

protected:
    // Keys and input sent to the control itself (rather than to the focus) reach the text as well.
    bool event(QEvent* event) override;

private:
    void fitLineNumbers();

    EditorSurface* surface_;
    bool lineNumbers_ = false;
    bool forwarding_ = false;
};
