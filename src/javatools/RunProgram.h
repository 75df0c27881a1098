#pragma once

#include <QObject>
#include <QString>

class CompilerOutputPanel;
class Document;
class EditorControl;
class JavaTools;
struct HostServices;
struct JavaProgramInfo;

// Runs the program the document holds with the JDK's java launcher, compiling it first when its
// class file is missing or older than the source. The program's output appears in the compiler
// output panel as it comes; the panel's input line feeds its standard input and its Stop button
// ends it. Nothing here waits: the editor goes on while the compiler and the program run.
class RunProgram : public QObject {
    Q_OBJECT

public:
    RunProgram(JavaTools& tools, Document& document, EditorControl& text1, HostServices& host, QObject* parent = nullptr);

    void mnuRun_Click();
    // Ends the running program and every process it started.
    void stop();
    // The program's task id while it runs, else 0.
    qint64 runningTask() const { return running_; }

private:
    void compileFinished(qint64 taskId, int exitCode, bool crashed);
    void programFinished(qint64 taskId);
    void startJava();

    JavaTools& tools_;
    Document& document_;
    EditorControl& text1_;
    HostServices& host_;
    CompilerOutputPanel& panel_;
    qint64 compileTask_ = 0; // the compile a Run waits for
    qint64 running_ = 0;
    qint64 leftBehind_ = 0; // a run that ended with processes of its own still going
    bool stopping_ = false;
    QString classPath_; // of the program to start once compiled
    QString className_;
};

// Whether Run must compile first: mainClassFile is missing or older than mainSource, or a source
// under root is newer than the class file javac wrote beside it. (Compiling the main class then
// compiles those too: javac takes a source newer than its class.) A tree too big to look through
// quickly counts as changed.
bool classesOutOfDate(const QString& root, const QString& mainSource, const QString& mainClassFile);

// What Run tells the user about a document without a class it can run.
QString noMainText(const JavaProgramInfo& info);
