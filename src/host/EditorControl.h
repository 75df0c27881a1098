#pragma once

#include <Qsci/qsciscintilla.h>

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <utility>

// The main window's editor control. Positions (SelStart, SelLength) are 0-based UTF-16 offsets into
// Text, whatever the control stores inside (it keeps UTF-8). Change is emitted for every change of
// the text, the program's own included. Text may hold NUL characters: they pass through unharmed.
class EditorControl : public QsciScintilla {
    Q_OBJECT

public:
    explicit EditorControl(QWidget* parent = nullptr);

    QString Text() const;
    void setText(const QString& text) override;
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

    // The raw UTF-8 contents, NULs included, and their replacement in one step. loadUtf8 is the fast
    // path for whole files: the undo history starts empty and the text counts as unmodified.
    QByteArray utf8() const;
    void loadUtf8(const QByteArray& utf8);

    // Loading in steps, so a big file can be handed to the control on another thread while the
    // window is still starting: prepareLoad on the UI thread, PreparedLoad::fill on any thread, then
    // loadPrepared on the UI thread (which falls back to appending if the fill failed).
    class PreparedLoad {
    public:
        ~PreparedLoad();
        PreparedLoad(const PreparedLoad&) = delete;
        PreparedLoad& operator=(const PreparedLoad&) = delete;
        // Hands the whole text to the document being prepared; may run on any thread, once.
        void fill(const QByteArray& utf8);

    private:
        friend class EditorControl;
        PreparedLoad(EditorControl& editor, void* loader) : editor_(editor), loader_(loader) {}
        EditorControl& editor_;
        void* loader_ = nullptr; // Scintilla's loader; null once it has become a document
        void* document_ = nullptr;
        QByteArray fallback_;
    };
    std::unique_ptr<PreparedLoad> prepareLoad(qsizetype expectedBytes);
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

    qsizetype offsetOfPosition(qsizetype bytePosition) const;
    qsizetype positionOfOffset(qsizetype offset) const;

    // Indicators (squiggles and the like) over ranges of Text, in UTF-16 offsets, end exclusive.
    void fillIndicator(int indicator, qsizetype fromOffset, qsizetype toOffset);
    void clearIndicator(int indicator);
    bool indicatorAt(int indicator, qsizetype offset) const;
    QList<std::pair<qsizetype, qsizetype>> indicatorRanges(int indicator) const;

    // The offset of the character under a point of the viewport; -1 when the point is not on text.
    qsizetype offsetAt(const QPoint& point) const;

signals:
    void Change();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void adoptDocument(void* document);
    void loadByAppending(const QByteArray& utf8);
    void reattachLexer();
    QByteArray characterSet(unsigned int message) const;
    // Builds the control's UTF-16 line index, which position conversions need, if it is not there.
    void ensureCharacterIndex() const;
    void replaceRange(qsizetype fromByte, qsizetype toByte, const QByteArray& utf8);
};
