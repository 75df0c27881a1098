#include "JavaLookup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
// javac is usually a chain of links (/usr/bin/javac, the alternatives); the launcher that belongs
// to it sits in the real folder beside it.
QString javaBesideJavac()
{
    const QString javac = QStandardPaths::findExecutable(QStringLiteral("javac"));
    if (javac.isEmpty())
        return QString();
    const QFileInfo real(QFileInfo(javac).canonicalFilePath());
    const QFileInfo java(real.dir().filePath(QStringLiteral("java")));
    return java.isFile() && java.isExecutable() ? java.absoluteFilePath() : QString();
}

QString serviceJar()
{
    const QString name = QStringLiteral("tolvane-check.jar");
    const QDir here(QCoreApplication::applicationDirPath());
    QStringList candidates{here.filePath(name), here.filePath(QStringLiteral("../share/tolvane/") + name)};
#ifdef TOLVANE_BUILD_CHECK_JAR
    candidates << QStringLiteral(TOLVANE_BUILD_CHECK_JAR);
#endif
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isFile())
            return QDir::cleanPath(QFileInfo(candidate).absoluteFilePath());
    }
    return QString();
}

// The class-data archive made beside the jar (make-class-archive.sh) saves the services much of their
// start. Where the virtual machine logs (a stale archive is refused with a warning): on standard
// error, never into the protocol on standard output.
QStringList startOptions(const QString& jar)
{
    QStringList options{QStringLiteral("-Xshare:auto"), QStringLiteral("-Xlog:disable"),
                        QStringLiteral("-Xlog:all=warning:stderr")};
    if (jar.endsWith(QStringLiteral(".jar"))) {
        const QFileInfo archive(jar.chopped(4) + QStringLiteral(".jsa"));
        if (archive.isFile() && archive.size() > 0)
            options << QStringLiteral("-XX:SharedArchiveFile=") + archive.absoluteFilePath();
    }
    // The compiler's pool of reusable contexts: a warm check or completion reads the JDK's
    // classes once, not every time (ReusedTasks.java).
    options << QStringLiteral("--add-exports=jdk.compiler/com.sun.tools.javac.api=ALL-UNNAMED");
    return options;
}
} // namespace

QStringList checkServiceCommand(const QString& jar)
{
    const QString java = javaBesideJavac();
    if (java.isEmpty() || jar.isEmpty())
        return {};
    // A small heap and the quick compiler tier: the service starts fast, stays small, and the checks
    // of one source are short enough that the optimising tier would not pay for itself.
    return QStringList{java,
                       QStringLiteral("-XX:+UseSerialGC"),
                       QStringLiteral("-XX:TieredStopAtLevel=1"),
                       QStringLiteral("-Xms16m"),
                       QStringLiteral("-Xmx256m"),
                       QStringLiteral("-XX:MaxHeapFreeRatio=30"),
                       QStringLiteral("-XX:MinHeapFreeRatio=10")}
        + startOptions(jar) + QStringList{QStringLiteral("-cp"), jar, QStringLiteral("CheckService")};
}

QStringList checkServiceCommand()
{
    return checkServiceCommand(serviceJar());
}

QStringList interactionsServiceCommand()
{
    const QString java = javaBesideJavac();
    const QString jar = serviceJar();
    if (java.isEmpty() || jar.isEmpty())
        return {};
    // The service compiles what is typed and drives the session's machine; the user's code runs in
    // that other machine, with the JDK's defaults. As for the compile service, the quick compiler
    // tier alone starts sooner and answers sooner (bench/README-interactions.md).
    return QStringList{java, QStringLiteral("-XX:+UseSerialGC"), QStringLiteral("-XX:TieredStopAtLevel=1")}
        + startOptions(jar) + QStringList{QStringLiteral("-cp"), jar, QStringLiteral("InteractionsService")};
}
