#pragma once

#include "EditorControl.h"
#include "PieceMap.h"

#include <Qsci/qsciscintilla.h>

#include <QAccessible>
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>

#include <memory>
#include <utility>
#include <vector>

class FarColouring;
class QPrinter;

// The editing component inside EditorControl, which alone sees it. It keeps UTF-8, in pieces for very
// long lines; what it offers EditorControl is already in the text's terms (see EditorControl.h), apart
// from the byte positions of its own buffer (caretPosition, replaceRange and the like).
class EditorSurface : public QsciScintilla {
    Q_OBJECT

public:
    explicit EditorSurface(QWidget* parent = nullptr);

    QString Text() const;
    void setText(const QString& text) override;
    void setLexer(QsciLexer* lexer = nullptr) override;
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

    // Lines longer than LongLines::LongLine are shown in pieces (see LongLines.h); everything here
    // still speaks of the text itself, its lines included. lines() and text(line) hide the control's
    // own, which count the pieces; viewLine is the control's line where a 0-based line starts.
    bool showsPieces() const { return pieces_; }
    int lines() const;
    QString text(int line) const;
    using QsciScintilla::text;
    int viewLine(int line) const;
    // The text's line of a line of the control.
    int textLine(int controlLine) const;
    // A position of the control's bytes as a byte of the text's UTF-8, and back (before a separator).
    qsizetype textByte(qsizetype position) const;
    qsizetype controlPosition(qsizetype textByte) const;

    // The raw UTF-8 contents, NULs included, and their replacement in one step. loadUtf8 is the fast
    // path for whole files: the undo history starts empty and the text counts as unmodified.
    QByteArray utf8() const;
    void loadUtf8(const QByteArray& utf8);
    // Makes the text utf8 as one step that Undo takes back whole, changing only the part that
    // differs; the caret stays on its line and the view on its first line, as far as they still exist.
    void replaceAllUtf8(const QByteArray& utf8);
    // The raw contents without a copy; valid only until the text next changes. It closes the
    // buffer's gap, which moves memory: not for every keystroke.
    QByteArrayView utf8View() const;
    // Length of the raw contents in bytes (cheap).
    qsizetype utf8Length() const;
    // Replaces the bytes [fromByte, toByte) of the raw contents, as one undoable step.
    void replaceUtf8(qsizetype fromByte, qsizetype toByte, const QByteArray& utf8);
    // The caret as a byte position of the raw contents; placeCaret puts it there, with nothing
    // selected, and does not scroll.
    qsizetype caretPosition() const;
    void placeCaret(qsizetype bytePosition);

    // Loading in steps, so a big file can be handed to the control on another thread while the
    // window is still starting: prepareLoad on the UI thread, PreparedLoad::fill on any thread, then
    // loadPrepared on the UI thread (which falls back to appending if the fill failed).
    using PreparedLoad = EditorControl::PreparedLoad;
    std::unique_ptr<PreparedLoad> prepareLoad(qsizetype expectedBytes);
    static qsizetype loadRoom(qsizetype expectedBytes);
    void loadPrepared(PreparedLoad& load);

    // Marks the current text as the saved one: isModified() is false until the text differs again.
    void markSaved();
    // Forgets the undo history: what is in the editor now cannot be undone.
    void emptyUndoBuffer();
    // Identifies the text buffer the control shows; a load replaces it with another.
    const void* documentId() const;
    // Where the text area starts (the margins are left of it), and the 0-based line at a height, in
    // the viewport's pixels.
    int textAreaLeft() const;
    int lineAtY(int y) const;

    // 1-based line and column of the caret (the column counts UTF-16 units).
    int caretLine() const;
    int caretColumn() const;

    // The offset where line (0-based) starts; the text's length past the last line.
    qsizetype offsetOfLine(int line) const;

    qsizetype offsetOfPosition(qsizetype bytePosition) const;
    qsizetype positionOfOffset(qsizetype offset) const;

    // Indicators (squiggles and the like) over ranges of Text, in UTF-16 offsets, end exclusive.
    void fillIndicator(int indicator, qsizetype fromOffset, qsizetype toOffset);
    void clearIndicator(int indicator);
    bool indicatorAt(int indicator, qsizetype offset) const;
    QList<std::pair<qsizetype, qsizetype>> indicatorRanges(int indicator) const;

    // What assistive tools ask of the text, in UTF-16 offsets. Every offset given is clamped to
    // 0..textLength() and every range put the right way round, so no request can reach past the text.
    using TextUnit = EditorControl::TextUnit;
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

    // Edits through these come back as one Change each, without the control's per-change notices
    // (see QuietEdits in the source).
    void undo() override;
    void redo() override;
    void cut() override;
    void paste() override;
    void clear() override;
    void removeSelectedText() override;
    void replaceSelectedText(const QString& text) override;
    void insert(const QString& text) override;
    void append(const QString& text) override;

    // Once an assistive tool has asked for the editor's accessible text, edits are told to it too,
    // while accessibility is on (EditorControl::accessibilityListening).
    void reportEditsForAccessibility() { reportEdits_ = true; }
    // Whether event is one this component was given and left to its parent (which then clears it).
    bool wasLeftToParent(const QEvent* event)
    {
        return std::exchange(leftToParent_, nullptr) == event;
    }
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
    // Prints the whole text with its colours, and its line numbers where they are shown, on printer
    // (which must be a QsciPrinter); false when the printer could not start.
    bool print(QPrinter& printer);
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

signals:
    void Change();
    // Every change of the raw contents, in bytes: removed bytes were deleted at position, or the
    // insertedLength bytes at inserted were put there (the pointer is valid during the call only).
    // A load that replaces the whole buffer (loadUtf8, loadPrepared) is not reported here.
    void bytesChanged(qsizetype position, qsizetype removed, const char* inserted, qsizetype insertedLength);
    // Each insertion and removal of an edit, once the edit is done, at its UTF-16 offset in the text
    // of that moment; only after reportEditsForAccessibility.
    void accessibleTextInserted(qsizetype offset, const QString& text);
    void accessibleTextRemoved(qsizetype offset, const QString& text);
    // A text shown in pieces cannot take a line separator of its own (U+2028, U+2029, U+0085): one
    // that was typed or pasted there was left out.
    void lineSeparatorsLeftOut();
    // A character the user typed went into the text (a line break comes as '\n'), after the control
    // has handled it; edits made in answer are part of the same change.
    void characterTyped(QChar character);
    void listChosen(int index);
    // A key is about to be handled: what waits for the control to finish with the previous key (a
    // list to narrow) is done now, or the key would act on what is shown as it was.
    void keyArriving();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    class QuietEdits;
    struct AccessibleEdit {
        bool inserted;
        qsizetype offset;
        QString text;
    };
    void beginQuiet();
    void endQuiet();
    void noteEdit(int position, int type, int length);
    void takeInsertedText();
    void takeInsertedBytes();
    QString bytesAt(qsizetype position, qsizetype length) const;
    std::pair<qsizetype, qsizetype> pendingInsert_{0, 0};
    std::pair<qsizetype, qsizetype> pendingBytes_{0, 0}; // an insertion of a quiet edit, told once done
    bool reportEdits_ = false;
    int quietDepth_ = 0;
    long loudMask_ = 0;
    bool quietChanged_ = false;
    int quietLines_ = 0;
    std::vector<AccessibleEdit> accessibleEdits_;
    QStringList listItems_;
    const QEvent* leftToParent_ = nullptr; // a key or input event this component did not take
    FarColouring* farColouring_ = nullptr;
    bool popupFitsAt(qsizetype offset) const;

    void adoptDocument(void* document);
    void keepFoldingOff();
    void loadByAppending(const QByteArray& utf8);
    void reattachLexer();
    QByteArray characterSet(unsigned int message) const;
    static QString decodeKeepingMarks(QByteArrayView utf8);
    // Builds the control's UTF-16 line index, which position conversions need, if it is not there.
    void ensureCharacterIndex() const;
    void replaceRange(qsizetype fromByte, qsizetype toByte, const QByteArray& utf8);
    qsizetype byteLength() const;
    qsizetype clampedPosition(qsizetype offset) const;

    // Pieces: the control's positions (bytes, lines, UTF-16 offsets with the separators) against the
    // text's. The separators are found again after every change, when next needed.
    void setPieces(bool on);
    void allowLineEnds();
    bool hasLineSeparator(const QString& text) const;
    // Whether the view's bytes at position are a separator between the pieces of a long line.
    bool isPieceSeparatorAt(long position);
    // text without line separators, and lineSeparatorsLeftOut told once back in the event loop.
    QString withoutLineSeparators(QString text) const;
    void piecesChanged() const;
    void ensureBreaks() const;
    qsizetype breaksBefore(qsizetype position) const;
    qsizetype textBytesIn(qsizetype position, qsizetype length) const;
    QByteArray withoutBreaks(qsizetype position, qsizetype length) const;
    qsizetype rawOffset(qsizetype position) const;
    qsizetype rawPosition(qsizetype offset) const;
    bool pieces_ = false;
    mutable bool breaksValid_ = true;
    mutable PieceMap pieceMap_;
    mutable QByteArray textBytes_;                 // the text without them, for utf8View
    mutable bool textBytesValid_ = false;
};
