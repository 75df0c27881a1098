#pragma once

#include "InteractionsProtocol.h"
#include "ServiceFraming.h"

#include <QObject>
#include <QProcess>
#include <QStringDecoder>
#include <QStringList>

// The client side of the Interactions service: one process, one session in it, one evaluation at
// a time. The user's code runs in a virtual machine of the session's own, so what it does there
// (System.exit, an endless loop) never reaches the editor; a service that ends or talks nonsense
// is ended, and the next start begins a new one.
class InteractionsEngine : public QObject {
    Q_OBJECT

public:
    // command: the program and its arguments.
    explicit InteractionsEngine(QStringList command, QObject* parent = nullptr);
    ~InteractionsEngine() override;

    // A fresh session with classPath (empty: none), the service started first if need be; ready()
    // tells when it can evaluate. An evaluation going on is stopped.
    // setup: Java the session evaluates first.
    void startSession(const QString& classPath, const QString& setup = QString());
    // False while the session is starting or another evaluation goes on.
    bool evaluate(const QString& source, bool force = false);
    // A line for the session's System.in.
    void sendInput(const QString& line);
    // Interrupts the evaluation going on (a read of System.in included).
    void stop();

    bool isReady() const { return ready_ && !busy_; }
    bool isBusy() const { return busy_; }
    bool isRunning() const { return process_ != nullptr; }
    qint64 processId() const;

signals:
    // note: what of the setup failed, or empty.
    void ready(const QString& note);
    // complete false: the source goes on on the next line; nothing was run.
    void evaluated(const QString& source, bool complete, const QList<InteractionsProtocol::Item>& items);
    void output(const QString& text, bool isError);
    void inputWanted();
    void sessionEnded(const QString& note);
    // The service could not start, ended or broke the protocol; reason says why.
    void failed(const QString& reason);

private:
    void onReadyRead();
    void fault(const QString& reason);
    void shutDown(bool gently);
    void send(const QByteArray& payload);

    QStringList command_;
    QProcess* process_ = nullptr;
    ServiceFraming::FrameReader reader_;
    QStringDecoder printed_[2];
    QByteArray lastError_;
    quint32 sessionId_ = 0;
    quint32 evaluationId_ = 0;
    QString inFlight_;
    bool ready_ = false;
    bool busy_ = false;
};
