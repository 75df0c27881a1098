// Not a benchmark: the least a Qt window with the same editing component can do to show a Java file,
// for open_bench.py (--peers minimal). Whatever Tolvane's open costs beyond this is its own; what this
// costs is the toolkit's: starting Qt, the first window, fonts, the first paint.
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>

#include <Qsci/qscilexerjava.h>
#include <Qsci/qsciscintilla.h>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc != 2)
        return 2;
    QMainWindow window;
    auto* editor = new QsciScintilla(&window);
    editor->setUtf8(true);
    auto* lexer = new QsciLexerJava(editor);
    QFont font(QStringList{QStringLiteral("Georgia"), QStringLiteral("DejaVu Serif"), QStringLiteral("serif")});
    font.setPointSizeF(11.25);
    lexer->setDefaultFont(font);
    lexer->setFont(font, -1);
    editor->setLexer(lexer);
    editor->setMarginType(0, QsciScintilla::NumberMargin);
    editor->setMarginLineNumbers(0, true);
    window.setCentralWidget(editor);
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray text = file.readAll();
    editor->SendScintilla(QsciScintillaBase::SCI_APPENDTEXT, static_cast<unsigned long>(text.size()), text.constData());
    window.setWindowTitle(QFileInfo(file.fileName()).fileName() + QStringLiteral(" - Minimal"));
    window.showMaximized();
    return app.exec();
}
