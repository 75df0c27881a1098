// Compares, file by file, what Check While Typing reports with what javac reports on the same
// files with the same source root, on any folder of Java sources (a clone of a public project):
//
//   build/test/bench/check_compare [--folder-as-root] [--max N] FOLDER...
//
// Every .java file under FOLDER is sent to the compile service the way the editor sends it (its
// source root from its package line and its folder); javac then compiles the files of each root
// together with -sourcepath ROOT. A file the check finds errors in while javac finds none is a false
// error. --folder-as-root sends the file's own folder instead, as the editor once did, for a before
// and after. Prints one line per disagreement and the counts.
#include "javatools/CompileService.h"
#include "javatools/JavaLookup.h"
#include "javatools/JavaSource.h"

#include <QApplication>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

namespace {
struct Verdict {
    int checkErrors = -1; // -1: the check could not run
    int javacErrors = 0;
    QString firstCheckError;
};

int checkErrors(CompileService& service, quint32 id, const QString& path, bool folderAsRoot, QString& first)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    ServiceFraming::CheckRequest request;
    request.id = id;
    request.path = path;
    request.source = QString::fromUtf8(file.readAll());
    const JavaSourceRootInfo root = javaSourceRootOf(path, request.source);
    request.folder = folderAsRoot ? QFileInfo(path).absolutePath() : root.root;
    if (!folderAsRoot && root.misplaced)
        request.misplacedPackage = root.packageName;

    int errors = -1;
    QEventLoop loop;
    const auto replied = QObject::connect(&service, &CompileService::replied, &loop, [&](const ServiceFraming::CheckReply& reply) {
        if (!reply.failed) {
            errors = 0;
            for (const ServiceFraming::CheckDiagnostic& d : reply.diagnostics) {
                if (d.isError && errors++ == 0)
                    first = QStringLiteral("%1: %2").arg(d.line).arg(d.message.section(u'\n', 0, 0));
            }
        }
        loop.quit();
    });
    const auto faulted = QObject::connect(&service, &CompileService::faulted, &loop, &QEventLoop::quit);
    if (service.check(request))
        loop.exec();
    QObject::disconnect(replied);
    QObject::disconnect(faulted);
    return errors;
}

// javac's errors per file for the files of one root, compiled together.
void javacErrors(const QString& root, const QStringList& files, QHash<QString, Verdict>& verdicts)
{
    QTemporaryDir out;
    QFile arguments(out.filePath(QStringLiteral("files")));
    if (!arguments.open(QIODevice::WriteOnly))
        return;
    for (const QString& f : files)
        arguments.write(('"' + f + "\"\n").toUtf8());
    arguments.close();
    QProcess javac;
    javac.setProcessChannelMode(QProcess::MergedChannels);
    javac.start(QStringLiteral("javac"), {QStringLiteral("-J-Duser.language=en"), QStringLiteral("-proc:none"),
                                          QStringLiteral("-implicit:none"), QStringLiteral("-Xmaxerrs"),
                                          QStringLiteral("100000"), QStringLiteral("-encoding"), QStringLiteral("UTF-8"),
                                          QStringLiteral("-d"), out.filePath(QStringLiteral("classes")),
                                          QStringLiteral("-sourcepath"), root, QStringLiteral("-classpath"), root,
                                          u'@' + arguments.fileName()});
    javac.waitForFinished(-1);
    static const QRegularExpression error(QStringLiteral("^(/.+\\.java):\\d+: error: "));
    for (const QString& line : QString::fromUtf8(javac.readAll()).split(u'\n')) {
        const QRegularExpressionMatch m = error.match(line);
        if (m.hasMatch() && verdicts.contains(m.captured(1)))
            verdicts[m.captured(1)].javacErrors++;
    }
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList folders;
    bool folderAsRoot = false;
    int max = 1 << 30;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--folder-as-root"))
            folderAsRoot = true;
        else if (args[i] == QLatin1String("--max") && i + 1 < args.size())
            max = args[++i].toInt();
        else
            folders << QFileInfo(args[i]).absoluteFilePath();
    }
    const QStringList command = checkServiceCommand();
    if (folders.isEmpty() || command.isEmpty()) {
        std::fprintf(stderr, "usage: check_compare [--folder-as-root] [--max N] FOLDER... (needs a JDK)\n");
        return 2;
    }

    QStringList files;
    for (const QString& folder : folders) {
        QStringList found;
        QDirIterator it(folder, {QStringLiteral("*.java")}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString name = QFileInfo(path).fileName();
            if (name != QLatin1String("module-info.java") && name != QLatin1String("package-info.java"))
                found << path;
        }
        found.sort();
        // Spread over the whole tree rather than the first folders only.
        const qsizetype step = std::max<qsizetype>(1, found.size() / std::max(1, max));
        for (qsizetype i = 0; i < found.size() && i / step < max; i += step)
            files << found[i];
    }

    CompileService service(command);
    service.setReplyTimeouts(120000, 60000);
    QHash<QString, Verdict> verdicts;
    QMap<QString, QStringList> byRoot;
    quint32 id = 0;
    for (const QString& path : std::as_const(files)) {
        Verdict v;
        v.checkErrors = checkErrors(service, ++id, path, folderAsRoot, v.firstCheckError);
        verdicts.insert(path, v);
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        byRoot[javaSourceRootOf(path, QString::fromUtf8(file.read(65536))).root] << path;
    }
    for (auto it = byRoot.cbegin(); it != byRoot.cend(); ++it)
        javacErrors(it.key(), it.value(), verdicts);

    int clean = 0, falseErrors = 0, missed = 0, notRun = 0, agree = 0;
    QTextStream out(stdout);
    for (const QString& path : std::as_const(files)) {
        const Verdict& v = verdicts[path];
        if (v.checkErrors < 0) {
            ++notRun;
            out << "NOT CHECKED  " << path << '\n';
            continue;
        }
        clean += v.javacErrors == 0;
        if (v.javacErrors == 0 && v.checkErrors > 0) {
            ++falseErrors;
            out << "FALSE ERROR  " << path << "  " << v.firstCheckError << '\n';
        } else if (v.javacErrors > 0 && v.checkErrors == 0) {
            ++missed;
            out << "MISSED       " << path << "  (javac: " << v.javacErrors << ")\n";
        } else {
            ++agree;
        }
    }
    out << "files " << files.size() << ", javac clean " << clean << ", agree " << agree << ", false errors " << falseErrors
        << ", missed " << missed << ", not checked " << notRun << '\n';
    return 0;
}
