#pragma once

#include "ServiceFraming.h"

#include <QLabel>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class CompileService;
class DiagnosticMarks;
class EditorControl;
class QAction;


// Checks the editor's text with the compile service a moment after typing pauses, and shows what the
// compiler says: a squiggle under each range, a mark in the margin (the marks Compile sets, so the
// newer of the two wins), the message on hover, the count in the status bar. Typing never waits: a
// result for a text that has changed since is dropped.
class CheckWhileTyping : public QObject {
    Q_OBJECT

public:
    // Where the document lives: its path (or name, before its first save) and its folder, empty
    // before the first save. A document whose path is not a Java file is not checked.
    struct Source {
        QString path;
        QString folder;
    };
    struct Hooks {
        std::function<Source()> source;
        std::function<void()> checkShown; // the margin marks are the check's now, newer than a Compile's
        std::function<void(const QString&)> report; // a line in the compiler output
    };

    static constexpr int PauseMs = 300;
    static constexpr int ErrorIndicator = 8;
    static constexpr int WarningIndicator = 9;
    static constexpr qsizetype MaxLength = 1 << 20; // longer texts (in bytes) are not checked as they are typed

    // serviceCommand: how to start the service (program first); empty when there is no JDK, and then
    // nothing is ever started and the menu item is off.
    CheckWhileTyping(EditorControl& text1, DiagnosticMarks& marks, QStringList serviceCommand, Hooks hooks,
                     QObject* parent = nullptr);
    ~CheckWhileTyping() override;

    QAction* action() const { return action_; }   // Tools > "Check While Typing"
    QLabel* statusLabel() const { return label_; } // the count, for the status bar
    CompileService* service() const { return service_; }
    // The service, started when needed even while checking is off (completion asks it too); null
    // without a JDK.
    CompileService* sharedService();

    // Drops what the check shows and any result still on its way (a Compile has started).
    void compileStarted();
    // Drops what the check shows and checks again after the pause (the document became another file).
    void recheck();

    bool showsSquiggles() const { return squiggles_; }

    // For tests and measurements: how quickly to give up on a silent service.
    void setReplyTimeouts(int firstMs, int laterMs);

signals:
    // A text was sent to be checked.
    void checking();
    // A result was drawn (or found stale and dropped): for tests and measurements.
    void shown(int errors, int warnings);
    // The compiler could not finish on the text; the status bar says so instead of a count.
    void couldNotCheck(const QString& reason);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onChange();
    void checkNow();
    void ensureService();
    void onReplied(const ServiceFraming::CheckReply& reply);
    void onFaulted(const QString& reason);
    void onGaveUp(const QString& reason);
    void setEnabled(bool on);
    void show(const ServiceFraming::CheckReply& reply);
    void showFailure(const QString& reason);
    void clearShown();
    // explanation: the status bar's tooltip.
    void setCount(const QString& text, const QString& explanation = QString());

    EditorControl& text1_;
    DiagnosticMarks& marks_;
    QStringList command_;
    Hooks hooks_;
    QAction* action_ = nullptr;
    QPointer<QLabel> label_; // owned by the status bar once shown there
    CompileService* service_ = nullptr;
    QTimer pause_;
    quint64 version_ = 0; // counts changes of the text
    quint32 lastId_ = 0;
    quint32 droppedUpTo_ = 0; // results of requests up to this id are not shown
    quint64 sentVersion_ = 0;
    QString sentText_;
    ServiceFraming::CheckDiagnostic sentMisplaced_; // an empty message: the file is where its package says
    bool squiggles_ = false;
    bool marksAreMine_ = false; // the margin marks were set by the check, not by a Compile
    const void* markedDocument_ = nullptr;
    int firstTimeoutMs_ = 30000;
    int laterTimeoutMs_ = 15000;
};
