#pragma once

#include "ClipboardService.h"
#include "Clock.h"
#include "CommonDialog.h"
#include "FileLookup.h"
#include "FileStore.h"
#include "FileWatcher.h"
#include "MessageBoxService.h"
#include "ProcessStarter.h"
#include "SystemLookup.h"

#include <QStringList>

#include <functional>
#include <memory>

class QPrinter;
class QWidget;

// Everything the windows need from the platform. The program passes the Qt implementations
// (makeQtHost); tests pass scripted ones.
struct HostServices {
    std::unique_ptr<MessageBoxService> messageBox;
    std::unique_ptr<ClipboardService> clipboard;
    std::unique_ptr<ProcessStarter> processes;
    std::unique_ptr<Clock> clock;
    std::unique_ptr<FileLookup> fileLookup;
    std::unique_ptr<FileStore> files;
    // May be null: nothing then tells the document that its file changed, but checks still happen.
    std::unique_ptr<FileWatcher> fileWatcher;
    std::unique_ptr<SystemLookup> systemLookup;
    // Creates the main window's file dialog; the parent is the window that owns it.
    std::function<std::unique_ptr<CommonDialog>(QWidget* parent)> makeFileDialog;
    // The print dialog: sets up printer as the user chooses (a printer or a PDF file); false on Cancel.
    std::function<bool(QPrinter& printer, QWidget* parent)> choosePrinter;
    // The command that starts the compile service of Check While Typing; unset or empty: no JDK.
    // The program sets it from the Java tools' lookup (checkServiceCommand), tests as they like.
    std::function<QStringList()> checkServiceCommand;
    // The command that starts the service behind View > Interactions; unset or empty: no JDK.
    std::function<QStringList()> interactionsServiceCommand;
};

HostServices makeQtHost();
