#include "EditorControl.h"

#include "EditorSurface.h"

#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>
#include <Qsci/qscilexerjava.h>
#include <Qsci/qsciprinter.h>

#include <QAccessible>
#include <QCoreApplication>
#include <QEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

bool (*EditorControl::accessibilityListening)() = &QAccessible::isActive;

namespace {
double luminance(const QColor& colour)
{
    const auto channel = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) + 0.0722 * channel(colour.blueF());
}

double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The highlighting's colours are made for light paper. The paper stays light in a dark desktop theme
// too, and a colour too pale to read on it (4.5:1 at least) is darkened until it is readable.
void keepReadableOnLightPaper(QsciLexer& lexer)
{
    lexer.setDefaultPaper(Qt::white);
    lexer.setDefaultColor(Qt::black);
    for (int style = 0; style <= QsciScintillaBase::STYLE_MAX; ++style) {
        if (lexer.description(style).isEmpty())
            continue;
        QColor paper = lexer.paper(style);
        if (contrastRatio(Qt::black, paper) < 4.5) {
            paper = Qt::white;
            lexer.setPaper(paper, style);
        }
        QColor colour = lexer.color(style).toHsv();
        while (contrastRatio(colour, paper) < 4.5 && colour.valueF() > 0)
            colour.setHsvF(colour.hsvHueF(), colour.hsvSaturationF(), std::max(0.0F, colour.valueF() - 0.05F));
        lexer.setColor(colour.toRgb(), style);
    }
}
} // namespace

EditorControl::EditorControl(QWidget* parent) : QWidget(parent), surface_(new EditorSurface(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(surface_);
    setFocusProxy(surface_);
    setFocusPolicy(surface_->focusPolicy());
    connect(surface_, &EditorSurface::Change, this, &EditorControl::Change);
    connect(surface_, &EditorSurface::modificationChanged, this, &EditorControl::modificationChanged);
    connect(surface_, &EditorSurface::cursorPositionChanged, this, &EditorControl::cursorPositionChanged);
    connect(surface_, &EditorSurface::linesChanged, this, &EditorControl::linesChanged);
    connect(surface_, &EditorSurface::bytesChanged, this, &EditorControl::bytesChanged);
    connect(surface_, &EditorSurface::accessibleTextInserted, this, &EditorControl::accessibleTextInserted);
    connect(surface_, &EditorSurface::accessibleTextRemoved, this, &EditorControl::accessibleTextRemoved);
    connect(surface_, &EditorSurface::lineSeparatorsLeftOut, this, &EditorControl::lineSeparatorsLeftOut);
    connect(surface_, &EditorSurface::listChosen, this, &EditorControl::listChosen);
    connect(surface_, &EditorSurface::characterTyped, this, &EditorControl::characterTyped);
    connect(surface_, &EditorSurface::keyArriving, this, &EditorControl::keyArriving);
    connect(surface_, &QsciScintillaBase::SCN_ZOOM, this, [this] { emit zoomChanged(zoomLevel()); });
    // The line numbers keep room for the last line's number, at every zoom.
    connect(surface_, &EditorSurface::linesChanged, this, &EditorControl::fitLineNumbers);
    connect(surface_, &QsciScintillaBase::SCN_ZOOM, this, &EditorControl::fitLineNumbers);
}

EditorControl::~EditorControl() = default;

bool EditorControl::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::InputMethod:
        // What the component leaves comes back here on its way to the window (a menu's Alt key, a
        // shortcut); it goes on from here as from any widget, and once only.
        if (const bool leftByComponent = surface_->wasLeftToParent(event); leftByComponent || forwarding_)
            return QWidget::event(event);
        forwarding_ = true;
        QCoreApplication::sendEvent(surface_, event);
        forwarding_ = false;
        event->accept();
        return true;
    default:
        return QWidget::event(event);
    }
}

QString EditorControl::Text() const { return surface_->Text(); }
void EditorControl::setText(const QString& text) { surface_->setText(text); }
QStringView EditorControl::decodeText(QString& buffer) const { return surface_->decodeText(buffer); }
qsizetype EditorControl::SelStart() const { return surface_->SelStart(); }
void EditorControl::setSelStart(qsizetype offset) { surface_->setSelStart(offset); }
qsizetype EditorControl::SelLength() const { return surface_->SelLength(); }
void EditorControl::setSelLength(qsizetype length) { surface_->setSelLength(length); }
QString EditorControl::SelText() const { return surface_->SelText(); }
void EditorControl::setSelText(const QString& text) { surface_->setSelText(text); }
qsizetype EditorControl::textLength() const { return surface_->textLength(); }
int EditorControl::lines() const { return surface_->lines(); }
QString EditorControl::text(int line) const { return surface_->text(line); }
bool EditorControl::showsPieces() const { return surface_->showsPieces(); }

QByteArray EditorControl::utf8() const { return surface_->utf8(); }
void EditorControl::loadUtf8(const QByteArray& utf8) { surface_->loadUtf8(utf8); }
void EditorControl::replaceAllUtf8(const QByteArray& utf8) { surface_->replaceAllUtf8(utf8); }
QByteArrayView EditorControl::utf8View() const { return surface_->utf8View(); }
qsizetype EditorControl::utf8Length() const { return surface_->utf8Length(); }
void EditorControl::replaceUtf8(qsizetype fromByte, qsizetype toByte, const QByteArray& utf8)
{
    surface_->replaceUtf8(fromByte, toByte, utf8);
}
qsizetype EditorControl::caretPosition() const { return surface_->caretPosition(); }
void EditorControl::placeCaret(qsizetype bytePosition) { surface_->placeCaret(bytePosition); }
qsizetype EditorControl::loadRoom(qsizetype expectedBytes)
{
    return EditorSurface::loadRoom(expectedBytes);
}

std::unique_ptr<EditorControl::PreparedLoad> EditorControl::prepareLoad(qsizetype expectedBytes)
{
    return surface_->prepareLoad(expectedBytes);
}
void EditorControl::loadPrepared(PreparedLoad& load)
{
    surface_->loadPrepared(load);
    // A text now shown in pieces, or no longer, changes whether there are numbers to show.
    fitLineNumbers();
}

void EditorControl::markSaved() { surface_->markSaved(); }
bool EditorControl::isModified() const { return surface_->isModified(); }
void EditorControl::emptyUndoBuffer() { surface_->emptyUndoBuffer(); }
bool EditorControl::isUndoAvailable() const { return surface_->isUndoAvailable(); }
bool EditorControl::isReadOnly() const { return surface_->isReadOnly(); }
void EditorControl::setReadOnly(bool readOnly) { surface_->setReadOnly(readOnly); }
const void* EditorControl::documentId() const { return surface_->documentId(); }

void EditorControl::setLineEnd(LineEnd lineEnd)
{
    switch (lineEnd) {
    case LineEnd::LF: surface_->setEolMode(QsciScintilla::EolUnix); break;
    case LineEnd::CR: surface_->setEolMode(QsciScintilla::EolMac); break;
    case LineEnd::CRLF: surface_->setEolMode(QsciScintilla::EolWindows); break;
    }
}

EditorControl::LineEnd EditorControl::lineEnd() const
{
    switch (surface_->eolMode()) {
    case QsciScintilla::EolUnix: return LineEnd::LF;
    case QsciScintilla::EolMac: return LineEnd::CR;
    case QsciScintilla::EolWindows: break;
    }
    return LineEnd::CRLF;
}

QWidget* EditorControl::viewport() const { return surface_->viewport(); }
int EditorControl::textAreaLeft() const { return surface_->textAreaLeft(); }
int EditorControl::lineAtY(int y) const { return surface_->textLine(surface_->lineAtY(y)); }
int EditorControl::caretLine() const { return surface_->caretLine(); }
int EditorControl::caretColumn() const { return surface_->caretColumn(); }

void EditorControl::setCursorPosition(int line, int column)
{
    const qsizetype start = surface_->offsetOfLine(line);
    surface_->setCaretOffset(std::min(start + std::max(column, 0), surface_->offsetOfLine(line + 1)));
}

void EditorControl::ensureCursorVisible() { surface_->ensureCursorVisible(); }
qsizetype EditorControl::offsetOfLine(int line) const { return surface_->offsetOfLine(line); }

qsizetype EditorControl::offsetOfPosition(qsizetype bytePosition) const
{
    return surface_->offsetOfPosition(surface_->controlPosition(std::clamp<qsizetype>(bytePosition, 0, utf8Length())));
}

qsizetype EditorControl::positionOfOffset(qsizetype offset) const
{
    return surface_->textByte(surface_->positionOfOffset(std::clamp<qsizetype>(offset, 0, textLength())));
}

void EditorControl::defineSquiggle(int indicator, const QColor& colour)
{
    surface_->indicatorDefine(QsciScintilla::SquiggleIndicator, indicator);
    surface_->setIndicatorForegroundColor(colour, indicator);
}

void EditorControl::fillIndicator(int indicator, qsizetype fromOffset, qsizetype toOffset)
{
    surface_->fillIndicator(indicator, fromOffset, toOffset);
}
void EditorControl::clearIndicator(int indicator) { surface_->clearIndicator(indicator); }
bool EditorControl::indicatorAt(int indicator, qsizetype offset) const { return surface_->indicatorAt(indicator, offset); }
QList<std::pair<qsizetype, qsizetype>> EditorControl::indicatorRanges(int indicator) const
{
    return surface_->indicatorRanges(indicator);
}

void EditorControl::defineMarker(int marker, MarkerShape shape, const QColor& fill, const QColor& outline)
{
    surface_->markerDefine(shape == MarkerShape::Circle ? QsciScintilla::Circle : QsciScintilla::RightTriangle, marker);
    surface_->setMarkerBackgroundColor(fill, marker);
    surface_->setMarkerForegroundColor(outline, marker);
}

void EditorControl::showMarkerMargin(int margin, int width, unsigned markers)
{
    surface_->setMarginType(margin, QsciScintilla::SymbolMargin);
    surface_->setMarginWidth(margin, width);
    surface_->setMarginMarkerMask(margin, static_cast<int>(markers));
}

int EditorControl::addMarker(int line, int marker)
{
    if (line < 0 || line >= lines())
        return -1;
    return surface_->markerAdd(surface_->viewLine(line), marker);
}

int EditorControl::markerLine(int handle) const
{
    const int line = surface_->markerLine(handle);
    return line < 0 ? -1 : surface_->textLine(line);
}

void EditorControl::deleteMarkers(int marker) { surface_->markerDeleteAll(marker); }

unsigned EditorControl::markersAtLine(int line) const
{
    if (line < 0 || line >= lines())
        return 0;
    return surface_->markersAtLine(surface_->viewLine(line));
}

int EditorControl::marginWidth(int margin) const { return surface_->marginWidth(margin); }

void EditorControl::showJava(const QFont& font)
{
    auto* lexer = new QsciLexerJava(surface_);
    lexer->setDefaultFont(font);
    lexer->setFont(font, -1);
    keepReadableOnLightPaper(*lexer);
    surface_->setLexer(lexer);
    surface_->setFont(font);
    surface_->setCaretForegroundColor(Qt::black);

    surface_->setMarginType(0, QsciScintilla::NumberMargin);
    surface_->setMarginLineNumbers(0, true);
    surface_->setMarginsFont(font);
    lineNumbers_ = true;
    fitLineNumbers();
    surface_->setBraceMatching(QsciScintilla::SloppyBraceMatch);
    surface_->setAutoIndent(true);
    surface_->setTabWidth(4);
}

void EditorControl::leaveMenuKeysToMenus()
{
    for (QsciCommand* command : surface_->standardCommands()->commands()) {
        switch (command->command()) {
        case QsciCommand::SelectionCut:
        case QsciCommand::SelectionCopy:
        case QsciCommand::Paste:
        case QsciCommand::SelectAll:
            command->setKey(0);
            command->setAlternateKey(0);
            break;
        case QsciCommand::WordPartLeft:
            // Ctrl+/ comments lines out or back in (Edit menu).
            if (command->key() == QKeyCombination(Qt::CTRL | Qt::Key_Slash).toCombined())
                command->setKey(0);
            break;
        case QsciCommand::Undo:
        case QsciCommand::Redo:
        case QsciCommand::ZoomIn:
        case QsciCommand::ZoomOut:
            // These keys belong to menu items (Edit and View), which show them.
            command->setKey(0);
            if (command->command() != QsciCommand::Undo)
                command->setAlternateKey(0);
            break;
        default:
            break;
        }
    }
}

void EditorControl::fitLineNumbers()
{
    if (!lineNumbers_)
        return;
    // Wide enough for the last line's number, and never narrower than four digits. A text shown in
    // pieces has no numbers to show there: the control would number the pieces (the status bar
    // still tells the line).
    if (surface_->showsPieces()) {
        surface_->setMarginWidth(0, 0);
        return;
    }
    const int digits = std::max(4, int(QString::number(lines()).size()));
    surface_->setMarginWidth(0, QString(digits + 1, u'0'));
}

std::pair<qsizetype, qsizetype> EditorControl::unitAt(qsizetype offset, TextUnit unit) const
{
    return surface_->unitAt(offset, unit);
}
QString EditorControl::textBetween(qsizetype from, qsizetype to) const { return surface_->textBetween(from, to); }
void EditorControl::replaceBetween(qsizetype from, qsizetype to, const QString& text) { surface_->replaceBetween(from, to, text); }
qsizetype EditorControl::caretOffset() const { return surface_->caretOffset(); }
void EditorControl::setCaretOffset(qsizetype offset) { surface_->setCaretOffset(offset); }
std::pair<qsizetype, qsizetype> EditorControl::selectionOffsets() const { return surface_->selectionOffsets(); }
void EditorControl::selectOffsets(qsizetype anchor, qsizetype caret) { surface_->selectOffsets(anchor, caret); }
QRect EditorControl::characterRect(qsizetype offset) const { return surface_->characterRect(offset); }
qsizetype EditorControl::offsetAt(QPoint viewportPoint) const { return surface_->offsetAt(viewportPoint); }
void EditorControl::scrollToOffsets(qsizetype from, qsizetype to) { surface_->scrollToOffsets(from, to); }

void EditorControl::undo() { surface_->undo(); }
void EditorControl::redo() { surface_->redo(); }
void EditorControl::cut() { surface_->cut(); }
void EditorControl::copy() { surface_->copy(); }
void EditorControl::paste() { surface_->paste(); }
void EditorControl::clear() { surface_->clear(); }
void EditorControl::selectAll() { surface_->selectAll(); }
void EditorControl::removeSelectedText() { surface_->removeSelectedText(); }
void EditorControl::replaceSelectedText(const QString& text) { surface_->replaceSelectedText(text); }
void EditorControl::insert(const QString& text) { surface_->insert(text); }
void EditorControl::append(const QString& text) { surface_->append(text); }

void EditorControl::replaceOffsets(qsizetype from, qsizetype to, const QString& text) { surface_->replaceOffsets(from, to, text); }
void EditorControl::goToLine(int line) { surface_->goToLine(line); }
int EditorControl::firstShownLine() const { return surface_->firstShownLine(); }
int EditorControl::linesShown() const { return surface_->linesShown(); }
void EditorControl::setFirstShownLine(int line) { surface_->setFirstShownLine(line); }
int EditorControl::zoomLevel() const { return surface_->zoomLevel(); }
void EditorControl::zoomIn() { surface_->zoomIn(); }
void EditorControl::zoomOut() { surface_->zoomOut(); }
void EditorControl::zoomTo(int level) { surface_->zoomTo(level); }

bool EditorControl::showList(const QStringList& items) { return surface_->showList(items); }
bool EditorControl::listShown() const { return surface_->listShown(); }
void EditorControl::closeList() { surface_->closeList(); }
bool EditorControl::showTip(qsizetype offset, const QString& text, qsizetype highlightFrom, qsizetype highlightTo)
{
    return surface_->showTip(offset, text, highlightFrom, highlightTo);
}
bool EditorControl::tipShown() const { return surface_->tipShown(); }
void EditorControl::closeTip() { surface_->closeTip(); }

void EditorControl::setAutoIndent(bool on) { surface_->setAutoIndent(on); }
int EditorControl::tabWidth() const { return surface_->tabWidth(); }
int EditorControl::indentationOfLine(int line) const { return surface_->indentationOfLine(line); }
void EditorControl::setIndentationOfLine(int line, int columns) { surface_->setIndentationOfLine(line, columns); }
std::pair<int, int> EditorControl::selectedLines() const { return surface_->selectedLines(); }
void EditorControl::replaceLines(int first, int last, const QStringList& lines) { surface_->replaceLines(first, last, lines); }

std::unique_ptr<QPrinter> EditorControl::makePrinter() const
{
    auto printer = std::make_unique<QsciPrinter>(QPrinter::HighResolution);
    printer->setWrapMode(QsciScintilla::WrapWord);
    return printer;
}

bool EditorControl::print(QPrinter& printer) { return surface_->print(printer); }
