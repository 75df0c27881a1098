#include "RunProgram.h"

#include "CompilerOutputPanel.h"
#include "JavaSource.h"
#include "JavaTools.h"
#include "JavaToolsText.h"

#include "document/Document.h"
#include "editor/EditorControl.h"
#include "host/HostError.h"
#include "host/HostServices.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QLineEdit>

namespace {
const QString RunTitle = QStringLiteral("Run");
} // namespace

bool classesOutOfDate(const QString& root, const QString& mainSource, const QString& mainClassFile)
{
    const QFileInfo mainClass(mainClassFile);
    if (!mainClass.exists() || mainClass.lastModified() < QFileInfo(mainSource).lastModified())
        return true;
    // A default-package program may live in a big folder (the home folder); beyond this many
    // entries compiling is cheaper than looking.
    constexpr int MaxEntries = 5000;
    int entries = 0;
    QDirIterator it(root, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        if (++entries > MaxEntries)
            return true;
        const QFileInfo file = it.nextFileInfo();
        if (!file.isFile() || file.suffix() != QLatin1String("java"))
            continue;
        // A source never compiled is not what a stale run runs; one whose class predates it is.
        const QFileInfo compiled(file.absolutePath() + u'/' + file.completeBaseName() + QStringLiteral(".class"));
        if (compiled.exists() && compiled.lastModified() < file.lastModified())
            return true;
    }
    return false;
}

QString noMainText(const JavaProgramInfo& info)
{
    QString text = QStringLiteral("Run starts a class that has a main method:\n    public static void main(String[] args)\n\n");
    if (info.firstClass.isEmpty())
        text += QStringLiteral("The document holds no class, so there is nothing to run.");
    else
        text += QStringLiteral("%1 has none, so there is nothing to run.").arg(info.firstClass);
    if (info.isApplet) {
        text += QStringLiteral("\n\n%1 is an applet, and applets cannot run on JDK 11 and later: they ran in a web "
                               "browser or the JDK's appletviewer, and neither exists there any more. To run it, give "
                               "it a main method (for example one that shows it in a Frame).")
                    .arg(info.firstClass);
    }
    return text;
}

RunProgram::RunProgram(JavaTools& tools, Document& document, EditorControl& text1, HostServices& host, QObject* parent)
    : QObject(parent), tools_(tools), document_(document), text1_(text1), host_(host), panel_(*tools.outputPanel())
{
    connect(&panel_, &CompilerOutputPanel::runFinished, this, [this](qint64 taskId, int exitCode, bool crashed) {
        if (taskId == compileTask_)
            compileFinished(taskId, exitCode, crashed);
        else if (taskId == running_)
            programFinished(taskId);
    });
    connect(&panel_, &CompilerOutputPanel::inputEntered, this, [this](qint64 taskId, const QString& text) {
        if (taskId != running_)
            return;
        panel_.echoInput(taskId, text);
        host_.processes->writeInput(taskId, text + u'\n');
    });
    connect(&panel_, &CompilerOutputPanel::endOfInputRequested, this, [this](qint64 taskId, const QString& text) {
        if (taskId != running_)
            return;
        if (!text.isEmpty()) {
            panel_.echoInput(taskId, text);
            host_.processes->writeInput(taskId, text + u'\n');
        }
        if (host_.processes->closeInput(taskId)) {
            panel_.inputClosed();
            panel_.note(taskId, QStringLiteral("End of input: the program reads nothing more."));
        }
    });
    connect(&panel_, &CompilerOutputPanel::stopRequested, this, [this](qint64 taskId) {
        if (taskId == running_) {
            stop();
        } else if (taskId == leftBehind_) {
            leftBehind_ = 0;
            host_.processes->stop(taskId);
            panel_.setInputTask(0);
            panel_.note(taskId, QStringLiteral("The processes the program left running were ended."));
        }
    });
}

void RunProgram::mnuRun_Click()
{
    if (leftBehind_ != 0) {
        // What the last run left running goes on; Stop no longer serves it, but Exit still ends it.
        leftBehind_ = 0;
        panel_.setInputTask(0);
    }
    if (running_ != 0) {
        panel_.note(running_, QStringLiteral("The program is still running: type its input below, or Stop it first."));
        panel_.inputLine()->setFocus();
        return;
    }
    if (compileTask_ != 0) {
        panel_.note(compileTask_, QStringLiteral("Run is waiting for this compile to finish."));
        return;
    }
    if (!tools_.saveForTools(RunTitle))
        return;

    const JavaProgramInfo info = describeJavaProgram(document_.text());
    if (info.mainClass.isEmpty()) {
        const QString text = noMainText(info);
        panel_.note(0, text);
        host_.messageBox->show(text, mb::OKOnly | mb::Exclamation, RunTitle);
        return;
    }

    const QFileInfo source(QDir::cleanPath(QDir::current().absoluteFilePath(document_.CurrentFileName())));
    const QString folder = source.absolutePath();
    // javac writes a package's classes beside their sources, so the folders must spell the package
    // for java to find the class under the source root.
    const JavaSourceRootInfo root = javaSourceRootOf(source.filePath(), text1_.Text());
    if (root.misplaced) {
        const QString text = misplacedPackageText(source.fileName(), root.packageName, QDir::toNativeSeparators(folder));
        panel_.note(0, text);
        host_.messageBox->show(text, mb::OKOnly | mb::Exclamation, RunTitle);
        return;
    }
    classPath_ = root.root;
    className_ = info.qualifiedMainClass();

    if (classesOutOfDate(root.root, source.filePath(), folder + u'/' + info.mainClass + QStringLiteral(".class"))) {
        compileTask_ = tools_.compile();
        return; // the program starts when the compile has ended well
    }
    startJava();
}

void RunProgram::compileFinished(qint64 taskId, int exitCode, bool crashed)
{
    compileTask_ = 0;
    if (exitCode != 0 || crashed) {
        panel_.note(taskId, QStringLiteral("The program was not run, because it did not compile."));
        return;
    }
    startJava();
}

void RunProgram::startJava()
{
    ConsoleStart how = tools_.consoleStartForDocument();
    how.interactive = true;
    stopping_ = false;
    try {
        running_ = host_.processes->startConsole(QStringLiteral("java"), {QStringLiteral("-cp"), classPath_, className_}, how);
    } catch (const HostError& error) {
        running_ = 0;
        const QString text = javaMissingText(error.message());
        panel_.note(0, text);
        host_.messageBox->show(text, mb::OKOnly | mb::Exclamation, RunTitle);
        return;
    }
    panel_.setInputTask(running_);
    // What the user types next is most likely meant for the program (a Scanner waiting for it);
    // F6 goes back to the editor.
    panel_.inputLine()->setFocus();
}

void RunProgram::stop()
{
    if (running_ == 0)
        return;
    if (host_.processes->stop(running_)) {
        stopping_ = true;
        panel_.note(running_, QStringLiteral("Stopping the program..."));
    }
}

void RunProgram::programFinished(qint64 taskId)
{
    const bool giveBackFocus = panel_.inputLine()->hasFocus();
    running_ = 0;
    panel_.setInputTask(0);
    if (stopping_)
        panel_.note(taskId, QStringLiteral("The program was stopped."));
    stopping_ = false;
    if (const int left = host_.processes->leftovers(taskId); left > 0) {
        leftBehind_ = taskId;
        panel_.setInputTask(taskId);
        panel_.inputClosed();
        panel_.note(taskId, QStringLiteral("The program has ended, but %1 process%2 it started %3 still running: "
                                           "Stop ends %4.")
                                .arg(left)
                                .arg(left == 1 ? QString() : QStringLiteral("es"))
                                .arg(left == 1 ? QStringLiteral("is") : QStringLiteral("are"))
                                .arg(left == 1 ? QStringLiteral("it") : QStringLiteral("them")));
    }
    if (giveBackFocus)
        text1_.setFocus();
}
