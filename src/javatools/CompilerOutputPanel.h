#pragma once

#include "ConsoleText.h"
#include "JavaToolsText.h"
#include "host/ConsoleOutput.h"

#include <QDockWidget>
#include <QHash>
#include <QList>
#include <QPlainTextEdit>

class QLineEdit;
class QPushButton;

// A javac diagnostic as it was reported by one run, with its file resolved against the run's
// working directory.
struct ReportedDiagnostic {
    qint64 taskId = 0;
    JavacDiagnostic diagnostic;
    QString path; // absolute
    int column = -1; // 0-based, in the line as javac showed it; -1 until its caret line came
};

// The text of the compiler output panel: read-only, with diagnostic lines as links that a click,
// or Enter on the line, activates.
class CompilerOutputView : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit CompilerOutputView(QWidget* parent = nullptr);

signals:
    void lineActivated(int blockNumber);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QString pressedAnchor_;
};

// The compiler output panel at the bottom of the main window. It receives what the console
// programs the host starts print: each run gets a header with its command line, its output and
// error streams line by line as they arrive, and its exit status; runs that overlap repeat their
// header where their output resumes. A line not yet ended shows at once, as in a terminal, below
// everything else, and grows as the rest of it comes. Standard error is in a colour of its own, and
// the colours programs ask for with escape sequences are shown. It keeps the latest 20,000 lines,
// a line longer than 1,024 characters counting as one line per piece of that length. Below the text,
// an input line, End Input and Stop serve the program being run (setInputTask): what is typed goes to
// its standard input on Enter; Ctrl+D or End Input closes that input.
class CompilerOutputPanel : public QDockWidget, public ConsoleOutput {
    Q_OBJECT

public:
    explicit CompilerOutputPanel(QWidget* parent = nullptr);

    void processStarted(qint64 taskId, const QString& commandLine, const QString& workingDirectory) override;
    void processOutput(qint64 taskId, const QString& text, Channel channel) override;
    void processFinished(qint64 taskId, int exitCode, bool crashed) override;
    void processFailedToStart(qint64 taskId, const QString& reason) override;

    // A remark of the program's own about a run (0: about the last thing shown).
    void note(qint64 taskId, const QString& text);

    // The run that the input line and Stop serve; 0: none (both disabled).
    void setInputTask(qint64 taskId);
    qint64 inputTask() const { return inputTask_; }
    // Shows text typed for a run where its output stands, as a terminal echoes it.
    void echoInput(qint64 taskId, const QString& text);
    QLineEdit* inputLine() const { return input_; }
    QPushButton* stopButton() const { return stop_; }
    QPushButton* endInputButton() const { return endInput_; }
    // The program's input was closed: nothing more can be typed for it, Stop still serves it.
    void inputClosed();
    // Draws the text larger (or, below 0, smaller) by points, as the editor's zoom does.
    void setZoom(int points);
    // Whether the keyboard is in the panel (its text, the input line or Stop).
    bool hasFocusInside() const;

    CompilerOutputView* view() const { return view_; }
    QString text() const { return view_->toPlainText(); }
    const QList<ReportedDiagnostic>& diagnostics() const { return diagnostics_; }
    // The line of the text (0-based block) that shows diagnostics()[index].
    int blockOfDiagnostic(int index) const;
    // Acts as a click on the link of that block; false when the block is no diagnostic.
    bool activateBlock(int blockNumber);

signals:
    void diagnosticReported(const ReportedDiagnostic& diagnostic);
    void diagnosticActivated(const ReportedDiagnostic& diagnostic);
    // The caret line of diagnostics()[index] came: its column is known.
    void diagnosticLocated(const ReportedDiagnostic& diagnostic);
    void inputEntered(qint64 taskId, const QString& text);
    void stopRequested(qint64 taskId);
    // Ctrl+D or End Input; text is what was typed and not yet sent.
    void endOfInputRequested(qint64 taskId, const QString& text);
    void runFinished(qint64 taskId, int exitCode, bool crashed);

private:
    struct Run {
        int number = 0;
        QString commandLine;
        QString workingDirectory;
        QString pending[2]; // an unfinished last line, per channel (shorter than a piece)
        ConsoleStyle style[2]; // in force where the pending line starts
        int lastDiagnostic = -1; // the diagnostic whose source and caret lines may follow
        int linesAfterDiagnostic = 0;
        QString diagnosticSource;
    };
    enum class Kind { Header, Output, Note, Link };

    void reveal();
    // The unfinished lines are shown below everything else; they are taken away while the text
    // changes and shown again after, so that the lines before them stay whole.
    void hideTail();
    void showTail();
    int droppedLines() const;
    int addBlock(const QList<StyledText>& segments, Kind kind, Channel channel, int diagnosticIndex);
    bool eventFilter(QObject* watched, QEvent* event) override;
    void requestEndOfInput();
    void writeLine(qint64 taskId, const QString& line, Channel channel);
    void followDiagnostic(qint64 taskId, const QString& line);
    void submitInput();
    void flush(qint64 taskId);
    void ensureHeader(qint64 taskId);
    void keepFirstLink();
    int append(const QString& text, Kind kind, int diagnosticIndex = -1);
    QString label(qint64 taskId) const;

    CompilerOutputView* view_;
    QLineEdit* input_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* endInput_ = nullptr;
    int tailBlocks_ = 0;
    bool tailOnly_ = false; // the text was empty before the tail
    int baseFontSize_ = 0;
    qint64 inputTask_ = 0;
    QHash<qint64, Run> runs_;
    QList<ReportedDiagnostic> diagnostics_;
    QList<int> diagnosticBlocks_; // counted in appended lines, the dropped ones included
    int appended_ = 0;
    qint64 lastWritten_ = 0; // the run the last line belongs to
    int runCount_ = 0;
    bool empty_ = true;
};
