#pragma once

#include "ServiceFraming.h"

#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTimer>

// The client side of the long-lived compile service: one process, at most one check and one completion
// in flight at a time (the service answers them in the order they were sent).
// A process that ends, stops answering or sends something that is not a well-formed reply is a
// fault: it is killed, the check in flight is lost, and the next check starts a new one, until
// MaxRestarts faults in a row; then the service is given up.
class CompileService : public QObject {
    Q_OBJECT

public:
    static constexpr int MaxRestarts = 3;

    // command: the program and its arguments.
    explicit CompileService(QStringList command, QObject* parent = nullptr);
    ~CompileService() override;

    // How long a reply may take: the first after a start includes the virtual machine's start.
    void setReplyTimeouts(int firstMs, int laterMs);

    // Sends the request, starting the service first if it is not running. False when a check is
    // already in flight or the service was given up.
    bool check(const ServiceFraming::CheckRequest& request);

    // Asks what can be typed at the request's caret, in the same process as the checks. False when a
    // completion is already in flight or the service was given up.
    bool complete(const ServiceFraming::CompletionRequest& request);

    bool busy() const { return inFlight_; } // a check is in flight
    bool completing() const { return completionInFlight_; }
    bool givenUp() const { return givenUp_; }
    bool running() const { return process_ != nullptr; }
    qint64 processId() const;
    int starts() const { return starts_; }

signals:
    void replied(const ServiceFraming::CheckReply& reply);
    void completed(const ServiceFraming::CompletionReply& reply);
    // What was in flight is lost; reason says why, for the output panel.
    void faulted(const QString& reason);
    void gaveUp(const QString& reason);

private:
    void start();
    void onReadyRead();
    void onFinished(int exitCode, QProcess::ExitStatus status);
    void fault(const QString& reason);
    void stop(bool gently);
    bool ensureStarted();
    void awaitReply();

    QStringList command_;
    QProcess* process_ = nullptr;
    ServiceFraming::FrameReader reader_;
    QTimer timeout_;
    int firstTimeoutMs_ = 30000;
    int laterTimeoutMs_ = 15000;
    bool answeredSinceStart_ = false;
    bool inFlight_ = false;
    quint32 inFlightId_ = 0;
    qsizetype inFlightLength_ = 0;
    bool completionInFlight_ = false;
    quint32 completionId_ = 0;
    qsizetype completionLength_ = 0;
    qsizetype completionCaret_ = 0;
    QList<char> order_; // the types of the replies still to come, first to last
    int faultsInARow_ = 0;
    int starts_ = 0;
    bool givenUp_ = false;
    QByteArray lastError_; // the end of what the service printed on its error stream
};
