#pragma once

#include <QList>
#include <QObject>
#include <QString>

class Document;
class EditorControl;

// What a compiler said about the text: where, how bad, and what. Compile (javac on the saved file)
// and Check While Typing (the compile service on the text) both report this way.
struct Diagnostic {
    enum class Source { Compile, Check };
    Source source = Source::Compile;
    int line = 0;        // 0-based
    qsizetype from = -1; // the squiggled range in UTF-16 offsets, end exclusive; from < 0: none
    qsizetype to = -1;
    bool isError = true;
    QString message; // as shown: "error: ..." or "warning: ..."
};

// The one place the diagnostics are shown: a red circle in the margin for a line with an error, a
// yellow triangle for a warning, a squiggle under each range, and what was said as the tooltip of
// the mark and of the squiggle. It holds the diagnostics shown (the newer source wins: showing one
// source's drops the other's) and every marker and indicator number they are drawn with. They
// belong to the text they were set on: another document, or the text replaced whole, drops them.
class DiagnosticMarks : public QObject {
    Q_OBJECT

public:
    // Every marker and indicator the diagnostics draw with, so that no two things share a number.
    enum Marker { ErrorMarker = 8, WarningMarker = 9 };
    enum Indicator { ErrorIndicator = 10, WarningIndicator = 11, CheckErrorIndicator = 12, CheckWarningIndicator = 13 };

    DiagnosticMarks(EditorControl& text1, Document& document, QObject* parent = nullptr);
    ~DiagnosticMarks() override;

    // Shows source's diagnostics in place of everything shown before (of either source). One whose
    // line is not in the text (the file was saved longer than the text is now) is not shown.
    void show(Diagnostic::Source source, const QList<Diagnostic>& diagnostics);
    // The diagnostics shown, in the order they were given, each on the line its mark is on now.
    QList<Diagnostic> diagnostics() const;
    void clear();
    // Drops what source showed; what the other source showed stays.
    void clear(Diagnostic::Source source);
    int count() const { return static_cast<int>(marks_.size()); }
    bool shows(Diagnostic::Source source) const;
    // The lines (0-based) that carry a mark, in the order they were marked.
    QList<int> markedLines() const;
    // The messages of the marks on line (0-based), one per line of the result; empty when none.
    QString messagesOnLine(int line) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Mark {
        int handle;
        Diagnostic diagnostic;
    };
    void squiggle(Diagnostic::Source source, bool isError, qsizetype from, qsizetype to);
    bool overSquiggle(qsizetype offset) const;

    EditorControl& text1_;
    QList<Mark> marks_;
    const void* markedText_ = nullptr; // the control's text buffer the marks were set in
    bool squiggles_[2] = {false, false}; // per source
};
