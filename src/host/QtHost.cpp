#include "QtHost.h"

#include "AppInfo.h"
#include "JavaLookup.h"
#include "QtFileStore.h"
#include "QtProcessStarter.h"
#include "SystemRegistry.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>

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
    const QString chosen = QFileDialog::getOpenFileName(parent_, QStringLiteral("Open"), FileName, qtFilter(Filter));
    Cancelled = chosen.isEmpty();
    if (!Cancelled)
        FileName = chosen;
}

void QtCommonDialog::ShowSave()
{
    const QString chosen = QFileDialog::getSaveFileName(parent_, QStringLiteral("Save As"), FileName, qtFilter(Filter));
    Cancelled = chosen.isEmpty();
    if (!Cancelled)
        FileName = chosen;
}

int QtMessageBox::show(const QString& text, int style, const QString& title)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title.isEmpty() ? AppInfo::Title : title);
    box.setText(text);
    // A short message makes a narrow box, and the window manager then cuts its title short; leave
    // room for the whole title and the title bar's buttons. Only then: a label with a minimum width
    // no longer lets the box size itself to a long message, which it would cut off at that width.
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        QFont titleFont = box.font();
        titleFont.setBold(true);
        const int titleWidth = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + 60;
        const int textWidth = QFontMetrics(label->font()).boundingRect(QRect(), Qt::AlignLeft, text).width();
        if (textWidth < titleWidth)
            label->setMinimumWidth(titleWidth);
    }
    switch (style & 0xF0) {
    case mb::Critical: box.setIcon(QMessageBox::Critical); break;
    case mb::Question: box.setIcon(QMessageBox::Question); break;
    case mb::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case mb::Information: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
    }
    switch (style & 0x0F) {
    case mb::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        break;
    case mb::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    switch (box.exec()) {
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
    host.registry = makeSystemRegistry();
    host.makeFileDialog = [](QWidget* parent) { return std::make_unique<QtCommonDialog>(parent); };
    host.checkServiceCommand = [] { return ::checkServiceCommand(); };
    return host;
}
