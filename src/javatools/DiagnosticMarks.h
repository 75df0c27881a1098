#pragma once

#include <QList>
#include <QObject>
#include <QString>

class Document;
class EditorControl;

// Marks in the editor's margin for the lines a compiler reported on: a red circle for an error, a
// yellow triangle for a warning, and what was said as the tooltip of the mark. Marks belong to the
// text they were set on: another document, or the text replaced whole, drops them. Where the
// compiler showed the column, the token there is underlined (a squiggle) until the next clear.
class DiagnosticMarks : public QObject {
    Q_OBJECT

public:
    enum Marker { ErrorMarker = 8, WarningMarker = 9 };
    // Apart from the check-while-typing squiggles, so that each is cleared by its own owner.
    enum Indicator { ErrorIndicator = 10, WarningIndicator = 11 };

    DiagnosticMarks(EditorControl& text1, Document& document, QObject* parent = nullptr);
    ~DiagnosticMarks() override;

    // Marks line (0-based) with message; false when the line is not in the text.
    bool mark(int line, bool isError, const QString& message);
    // Underlines the token at column (0-based, UTF-16) of line; false when it is not in the text.
    bool markColumn(int line, int column, bool isError);
    void clear();
    int count() const { return static_cast<int>(marks_.size()); }
    // The lines (0-based) that carry a mark, in the order they were marked.
    QList<int> markedLines() const;
    // The messages of the marks on line (0-based), one per line of the result; empty when none.
    QString messagesOnLine(int line) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Mark {
        int handle;
        QString message;
    };

    EditorControl& text1_;
    QList<Mark> marks_;
    const void* markedText_ = nullptr; // the control's text buffer the marks were set in
    bool hasIndicators_ = false;
};
