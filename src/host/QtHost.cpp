#include "QtHost.h"

#include "AppInfo.h"
#include "QtFileStore.h"
#include "QtFileWatcher.h"
#include "QtProcessStarter.h"
#include "SystemLookup.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QTextLayout>

#include <algorithm>

#include <algorithm>

QString QtCommonDialog::qtFilter(const QString& filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // The description already shows its patterns; Qt reads them from the parentheses.
        QString description = parts[i];
        if (!description.contains(u'('))
            description += QStringLiteral(" (") + QString(parts[i + 1]).replace(u';', u' ') + u')';
        entries << description;
    }
    return entries.join(QStringLiteral(";;"));
}

void QtCommonDialog::ShowOpen()
{
    const QString chosen =
        QFileDialog::getOpenFileName(parent_, QStringLiteral("Open"), FileName.isEmpty() ? InitDir : FileName, qtFilter(Filter));
    Cancelled = chosen.isEmpty();
    if (!Cancelled)
        FileName = chosen;
}

QString QtCommonDialog::defaultSuffix(const QString& qtFilterEntry)
{
    const qsizetype open = qtFilterEntry.lastIndexOf(u'(');
    const qsizetype close = qtFilterEntry.lastIndexOf(u')');
    if (open < 0 || close < open)
        return {};
    const QStringList patterns = qtFilterEntry.mid(open + 1, close - open - 1).split(u' ', Qt::SkipEmptyParts);
    if (patterns.size() != 1 || !patterns[0].startsWith(QStringLiteral("*.")))
        return {};
    const QString suffix = patterns[0].mid(2);
    const bool plain = !suffix.isEmpty()
        && std::none_of(suffix.begin(), suffix.end(), [](QChar c) { return c == u'*' || c == u'?' || c == u'[' || c == u'.'; });
    return plain ? suffix : QString();
}

QString QtCommonDialog::withDefaultSuffix(const QString& path, const QString& qtFilterEntry)
{
    const QString suffix = defaultSuffix(qtFilterEntry);
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    if (suffix.isEmpty() || name.isEmpty() || name.contains(u'.'))
        return path;
    return path + u'.' + suffix;
}

void QtCommonDialog::ShowSave()
{
    QFileDialog dialog(parent_, QStringLiteral("Save As"), FileName.isEmpty() ? InitDir : FileName, qtFilter(Filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The dialog adds the extension itself before it asks about overwriting, so the question names
    // the file that will really be written.
    const auto followFilter = [&dialog](const QString& entry) { dialog.setDefaultSuffix(defaultSuffix(entry)); };
    followFilter(dialog.selectedNameFilter());
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, followFilter);
    QString chosen;
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        chosen = withDefaultSuffix(dialog.selectedFiles().constFirst(), dialog.selectedNameFilter());
    Cancelled = chosen.isEmpty();
    if (!Cancelled)
        FileName = chosen;
}

namespace {
// Breaks a text into the lines that fit in `width` pixels: at spaces, after "/" and "-" (a long path
// breaks between its folders), and inside a word only when the word alone is wider than a line.
QStringList wrapToWidth(const QString& text, const QFont& font, int width)
{
    QStringList lines;
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    for (const QString& paragraph : QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).split(u'\n')) {
        QTextLayout layout(paragraph, font);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            QString part = paragraph.mid(line.textStart(), line.textLength());
            while (part.endsWith(u' '))
                part.chop(1);
            lines << part;
        }
        layout.endLayout();
    }
    return lines;
}

// A message box as wide as its text needs, up to two thirds of the screen; a longer text wraps.
// QMessageBox sizes itself whenever it is shown or its layout changes, so the box takes its own size
// right after that.
class FittedMessageBox : public QMessageBox {
public:
    FittedMessageBox(const QString& text, QWidget* parent) : QMessageBox(parent), text_(text)
    {
        setTextFormat(Qt::PlainText);
        setText(text);
    }

protected:
    void showEvent(QShowEvent* event) override
    {
        QMessageBox::showEvent(event);
        fitText();
    }

    bool event(QEvent* event) override
    {
        const bool handled = QMessageBox::event(event);
        if (event->type() == QEvent::LayoutRequest && isVisible())
            fitText();
        // A window manager may place the box by the size it had when it was mapped, before it took
        // its own (on a busy machine): it would then reach past the screen's edge, its buttons out
        // of sight. Wherever it lands, it is brought back whole.
        if ((event->type() == QEvent::Move || event->type() == QEvent::Resize) && isVisible())
            keepOnScreen();
        return handled;
    }

private:
    void fitText()
    {
        auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        if (!label || !layout())
            return;
        const QRect screenArea = screen() ? screen()->availableGeometry() : QRect(0, 0, 1024, 768);
        // The text reaches screen readers whole, however it is broken into lines on screen.
        label->setAccessibleName(text_);
        label->setWordWrap(false);
        label->setText(wrapToWidth(text_, label->font(), QWIDGETSIZE_MAX).join(u'\n'));
        layout()->invalidate();
        const int textWidth = label->minimumSizeHint().width();
        const int besideText = layout()->totalMinimumSize().width() - textWidth;
        const int room = screenArea.width() * 2 / 3 - besideText;
        if (textWidth > room) {
            label->setText(wrapToWidth(text_, label->font(), room).join(u'\n'));
            layout()->invalidate();
        }
        // The window manager cuts a title short that is wider than the box, buttons of the title bar included.
        QFont titleFont = font();
        titleFont.setBold(true);
        const int titleWidth = QFontMetrics(titleFont).horizontalAdvance(windowTitle()) + 60;
        const QSize needed = layout()->totalMinimumSize();
        const QSize size(std::min(std::max(needed.width(), titleWidth), screenArea.width()),
                         std::min(needed.height(), screenArea.height()));
        setFixedSize(size);
        layout()->activate();
        placeOver(parentWidget() ? parentWidget()->window() : nullptr, size, screenArea);
        QCoreApplication::removePostedEvents(this, QEvent::LayoutRequest);
    }

    void keepOnScreen()
    {
        const QRect screenArea = screen() ? screen()->availableGeometry() : QRect(0, 0, 1024, 768);
        const QRect framed = frameGeometry();
        // A box larger than the screen stays where it is rather than be moved back and forth.
        if (!screenArea.contains(framed) && framed.width() <= screenArea.width() && framed.height() <= screenArea.height())
            placeOver(parentWidget() ? parentWidget()->window() : nullptr, size(), screenArea);
    }

    // Centred over the window it belongs to, title bar and frame on the screen. Until the window
    // manager has framed the box, the owner's frame is the best guess of the box's. The size is the
    // one just asked for: the window system may not have taken it yet, and a box centred with its
    // old size would reach past the screen's edge once it grows.
    void placeOver(const QWidget* owner, const QSize& size, const QRect& screenArea)
    {
        const auto frameOf = [](const QWidget* window) {
            const QRect outer = window->frameGeometry();
            const QRect inner = window->geometry();
            return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                            outer.bottom() - inner.bottom());
        };
        QMargins frame = frameOf(this);
        if (frame.isNull() && owner)
            frame = frameOf(owner);
        QRect framed = QRect(QPoint(), size).marginsAdded(frame);
        framed.moveCenter(owner ? owner->frameGeometry().center() : screenArea.center());
        const int left = std::clamp(framed.left(), screenArea.left(), std::max(screenArea.left(), screenArea.right() + 1 - framed.width()));
        const int top = std::clamp(framed.top(), screenArea.top(), std::max(screenArea.top(), screenArea.bottom() + 1 - framed.height()));
        // A window's position is that of its frame.
        move(left, top);
    }

    QString text_;
};
} // namespace

std::unique_ptr<QMessageBox> QtMessageBox::makeBox(const QString& text, int style, const QString& title, QWidget* parent)
{
    auto box = std::make_unique<FittedMessageBox>(text, parent);
    box->setWindowTitle(title.isEmpty() ? AppInfo::Title : title);
    switch (style & 0xF0) {
    case mb::Critical: box->setIcon(QMessageBox::Critical); break;
    case mb::Question: box->setIcon(QMessageBox::Question); break;
    case mb::Exclamation: box->setIcon(QMessageBox::Warning); break;
    case mb::Information: box->setIcon(QMessageBox::Information); break;
    default: box->setIcon(QMessageBox::NoIcon); break;
    }
    switch (style & 0x0F) {
    case mb::OKCancel:
        // Asked before something cannot be taken back: Cancel is the safe default.
        box->setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box->setDefaultButton(QMessageBox::Cancel);
        box->setEscapeButton(QMessageBox::Cancel);
        break;
    case mb::YesNo:
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->setDefaultButton(QMessageBox::Yes);
        box->setEscapeButton(QMessageBox::No);
        break;
    case mb::YesNoCancel:
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box->setDefaultButton(QMessageBox::Yes);
        box->setEscapeButton(QMessageBox::Cancel);
        break;
    default:
        box->setStandardButtons(QMessageBox::Ok);
        break;
    }
    return box;
}

int QtMessageBox::show(const QString& text, int style, const QString& title)
{
    const std::unique_ptr<QMessageBox> box = makeBox(text, style, title, QApplication::activeWindow());
    switch (box->exec()) {
    case QMessageBox::Yes: return mb::Yes;
    case QMessageBox::No: return mb::No;
    case QMessageBox::Cancel: return mb::Cancel;
    default: return mb::OK;
    }
}

void QtClipboard::SetText(const QString& text)
{
    QApplication::clipboard()->setText(text);
}

QString QtClipboard::GetText()
{
    return QApplication::clipboard()->text();
}

QDateTime SystemClock::Now()
{
    return QDateTime::currentDateTime();
}

bool QtFileLookup::exists(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() && info.isFile() && !info.isHidden();
}

HostServices makeQtHost()
{
    HostServices host;
    host.messageBox = std::make_unique<QtMessageBox>();
    host.clipboard = std::make_unique<QtClipboard>();
    host.processes = std::make_unique<QtProcessStarter>();
    host.clock = std::make_unique<SystemClock>();
    host.fileLookup = std::make_unique<QtFileLookup>();
    host.files = std::make_unique<QtFileStore>();
    host.fileWatcher = std::make_unique<QtFileWatcher>();
    host.systemLookup = std::make_unique<PathSystemLookup>();
    host.makeFileDialog = [](QWidget* parent) { return std::make_unique<QtCommonDialog>(parent); };
    host.choosePrinter = [](QPrinter& printer, QWidget* parent) {
        QPrintDialog dialog(&printer, parent);
        dialog.setWindowTitle(QStringLiteral("Print"));
        return dialog.exec() == QDialog::Accepted;
    };
    return host;
}
