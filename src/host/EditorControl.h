#pragma once

#include <Qsci/qsciscintilla.h>

#include <QByteArray>
#include <QString>

// The main window's editor control. Positions (SelStart, SelLength) are 0-based UTF-16 offsets into
// Text, whatever the control stores inside (it keeps UTF-8). Change is emitted for every change of
// the text, the program's own included. Text may hold NUL characters: they pass through unharmed.
class EditorControl : public QsciScintilla {
    Q_OBJECT

public:
    explicit EditorControl(QWidget* parent = nullptr);

    QString Text() const;
    void setText(const QString& text) override;

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

    // Marks the current text as the saved one: isModified() is false until the text differs again.
    void markSaved();

    // 1-based line and column of the caret (the column counts UTF-16 units).
    int caretLine() const;
    int caretColumn() const;

    qsizetype offsetOfPosition(qsizetype bytePosition) const;
    qsizetype positionOfOffset(qsizetype offset) const;

signals:
    void Change();

private:
    bool loadThroughLoader(const QByteArray& utf8);
    void loadByAppending(const QByteArray& utf8);
    void reattachLexer();
    QByteArray characterSet(unsigned int message) const;
    // Builds the control's UTF-16 line index, which position conversions need, if it is not there.
    void ensureCharacterIndex() const;
    void replaceRange(qsizetype fromByte, qsizetype toByte, const QByteArray& utf8);
};
