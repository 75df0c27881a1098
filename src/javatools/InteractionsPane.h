#pragma once

#include "InteractionsText.h"

#include <QDockWidget>
#include <QLineEdit>
#include <QPlainTextEdit>

class Document;
class EditorControl;
class InteractionsEngine;
class JavaTools;
class QAction;
class QLabel;
class QPushButton;
struct HostServices;

// The line where Java is typed for the Interactions pane: Up and Down walk the history, Esc drops
// an unfinished input.
class InteractionsInput : public QLineEdit {
    Q_OBJECT

public:
    explicit InteractionsInput(QWidget* parent = nullptr);
    InteractionsHistory& history() { return history_; }

signals:
    void abandoned();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    InteractionsHistory history_;
};

// View > Interactions: Java evaluated as it is typed, with the classes of the document being edited
// at hand. Beside the compiler output panel: a transcript, an input line, Stop and Reset. Opening
// the pane (or Reset) compiles the document first when its classes are missing or older than it,
// as Run does, and starts a fresh session with the document's package root on its class path.
class InteractionsPane : public QDockWidget {
    Q_OBJECT

public:
    InteractionsPane(JavaTools& tools, Document& document, EditorControl& text1, HostServices& host,
                     QWidget* parent = nullptr);
    ~InteractionsPane() override;

    // The View menu's item: opens the pane and puts the keyboard in its input line; when the
    // keyboard is there already, closes it.
    QAction* action() const { return action_; }
    void open();

    // Ends the session and starts a fresh one (the document's classes compiled again if stale).
    void reset();
    // Interrupts the evaluation going on.
    void stop();
    // Enter in the input line.
    void submit();

    InteractionsInput* input() const { return input_; }
    QPlainTextEdit* transcript() const { return transcript_; }
    QPushButton* stopButton() const { return stop_; }
    QPushButton* resetButton() const { return reset_; }
    InteractionsEngine* engine() const { return engine_; }
    // Where the history is kept; empty: not kept. Read when the pane first opens.
    void setHistoryFile(const QString& path) { historyFile_ = path; }
    // The class path the session was started with.
    QString classPath() const { return classPath_; }

signals:
    // A session can evaluate now.
    void sessionReady();
    // An evaluation was answered (or shown to go on on the next line).
    void answered();

private:
    enum class Style { Input, Answer, Error, Output, Note };
    void startSession();
    void startEngine();
    void shareWidthWithOutput();
    // Evaluates the next line typed ahead, once the session can.
    void runNext();
    void evaluated(const QString& source, bool complete, const QList<InteractionsProtocol::Item>& items);
    void append(const QString& text, Style style, bool endLine = true);
    void updateState();
    void loadHistory();
    void saveHistory();

    JavaTools& tools_;
    Document& document_;
    EditorControl& text1_;
    HostServices& host_;
    QAction* action_ = nullptr;
    QPlainTextEdit* transcript_ = nullptr;
    QLabel* prompt_ = nullptr;
    InteractionsInput* input_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* reset_ = nullptr;
    InteractionsEngine* engine_ = nullptr;
    QString pending_;      // lines typed so far of an input that goes on
    QStringList queued_;   // lines typed before the session was ready, or while an evaluation ran
    QString classPath_;
    QString setup_; // what the session declares first
    QString historyFile_;
    qint64 compileTask_ = 0; // the compile the session waits for
    bool historyLoaded_ = false;
    bool wantsInput_ = false;
    bool stopping_ = false; // Stop was pressed: the evaluation's end says so
    bool told_ = false; // that there is no JDK
    bool lineOpen_ = false; // the transcript's last line is unfinished output
};
