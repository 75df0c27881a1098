#pragma once

#include "HostServices.h"

#include <memory>

class QMessageBox;
class QWidget;

// Qt implementations of the host services.

class QtCommonDialog : public CommonDialog {
public:
    explicit QtCommonDialog(QWidget* parent) : parent_(parent) {}
    void ShowOpen() override;
    void ShowSave() override;

    // "Java (*.java)|*.java|All Files (*.*)|*.*" -> "Java (*.java);;All Files (*.*)"
    static QString qtFilter(const QString& filter);
    // The extension a save adds to a name typed without one, while the chosen filter entry
    // ("Java (*.java)") stands for exactly one: "java". Empty for "All Files (*.*)" and the like.
    static QString defaultSuffix(const QString& qtFilterEntry);
    // path as the save dialog hands it back, with that extension added when its name has none.
    static QString withDefaultSuffix(const QString& path, const QString& qtFilterEntry);

private:
    QWidget* parent_;
};

class QtMessageBox : public MessageBoxService {
public:
    int show(const QString& text, int style, const QString& title) override;
    // The box that show() presents, before it is shown; it takes the size of its text when shown.
    static std::unique_ptr<QMessageBox> makeBox(const QString& text, int style, const QString& title, QWidget* parent);
};

class QtClipboard : public ClipboardService {
public:
    void SetText(const QString& text) override;
    QString GetText() override;
};

class SystemClock : public Clock {
public:
    QDateTime Now() override;
};

class QtFileLookup : public FileLookup {
public:
    bool exists(const QString& path) override;
};
