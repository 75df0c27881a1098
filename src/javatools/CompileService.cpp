#include "CompileService.h"

using namespace ServiceFraming;

CompileService::CompileService(QStringList command, QObject* parent) : QObject(parent), command_(std::move(command))
{
    timeout_.setSingleShot(true);
    connect(&timeout_, &QTimer::timeout, this, [this] { fault(QStringLiteral("it stopped answering")); });
}

CompileService::~CompileService()
{
    stop(true);
}

void CompileService::setReplyTimeouts(int firstMs, int laterMs)
{
    firstTimeoutMs_ = firstMs;
    laterTimeoutMs_ = laterMs;
}

qint64 CompileService::processId() const
{
    return process_ ? process_->processId() : 0;
}

void CompileService::start()
{
    ++starts_;
    answeredSinceStart_ = false;
    reader_.clear();
    lastError_.clear();
    process_ = new QProcess(this);
    process_->setProgram(command_.value(0));
    process_->setArguments(command_.mid(1));
    connect(process_, &QProcess::readyReadStandardOutput, this, &CompileService::onReadyRead);
    connect(process_, &QProcess::readyReadStandardError, this, [this] {
        lastError_.append(process_->readAllStandardError());
        if (lastError_.size() > 2048)
            lastError_ = lastError_.right(2048);
    });
    connect(process_, &QProcess::finished, this, &CompileService::onFinished);
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            fault(QStringLiteral("it could not be started (%1)").arg(process_->errorString()));
    });
    process_->start(QIODevice::ReadWrite | QIODevice::Unbuffered);
}

bool CompileService::ensureStarted()
{
    if (givenUp_)
        return false;
    if (!process_)
        start();
    return process_ != nullptr; // null when it failed at once and was given up
}

void CompileService::awaitReply()
{
    // The clock runs for the oldest request; a reply restarts it for the next one.
    if (!timeout_.isActive())
        timeout_.start(answeredSinceStart_ ? laterTimeoutMs_ : firstTimeoutMs_);
}

bool CompileService::check(const CheckRequest& request)
{
    if (inFlight_ || !ensureStarted())
        return false;
    inFlight_ = true;
    inFlightId_ = request.id;
    inFlightLength_ = request.source.size();
    order_.append('D');
    awaitReply();
    // QProcess keeps what the pipe cannot take yet and writes it as the service reads.
    process_->write(frame(encodeCheckRequest(request)));
    return true;
}

bool CompileService::complete(const CompletionRequest& request)
{
    if (completionInFlight_ || !ensureStarted())
        return false;
    completionInFlight_ = true;
    completionId_ = request.id;
    completionLength_ = request.source.size();
    completionCaret_ = request.caret;
    order_.append('L');
    awaitReply();
    process_->write(frame(encodeCompletionRequest(request)));
    return true;
}

void CompileService::onReadyRead()
{
    if (!process_)
        return;
    reader_.append(process_->readAllStandardOutput());
    QByteArray payload;
    for (;;) {
        switch (reader_.next(payload)) {
        case FrameReader::Status::Incomplete:
            return;
        case FrameReader::Status::Oversized:
            fault(QStringLiteral("it sent a message too long to be a reply"));
            return;
        case FrameReader::Status::Message:
            break;
        }
        const char expected = order_.isEmpty() ? char(0) : order_.first();
        std::optional<CheckReply> reply;
        std::optional<CompletionReply> completion;
        // A check is answered with its diagnostics, or with the news that the compiler could not finish.
        if (expected == 'D' && (messageType(payload) == 'D' || messageType(payload) == 'F'))
            reply = decodeCheckReply(payload, inFlightLength_);
        else if (expected == 'L' && messageType(payload) == 'L')
            completion = decodeCompletionReply(payload, completionLength_, completionCaret_);
        if (!(reply && reply->id == inFlightId_) && !(completion && completion->id == completionId_)) {
            fault(QStringLiteral("it sent a reply that makes no sense"));
            return;
        }
        order_.removeFirst();
        timeout_.stop();
        if (!order_.isEmpty())
            timeout_.start(laterTimeoutMs_);
        answeredSinceStart_ = true;
        faultsInARow_ = 0;
        if (reply) {
            inFlight_ = false;
            emit replied(*reply);
        } else {
            completionInFlight_ = false;
            emit completed(*completion);
        }
        if (!process_)
            return; // stopped by a receiver
    }
}

void CompileService::onFinished(int exitCode, QProcess::ExitStatus status)
{
    QString reason = status == QProcess::CrashExit ? QStringLiteral("it crashed")
                                                   : QStringLiteral("it ended with exit status %1").arg(exitCode);
    if (reader_.pending() > 0)
        reason += QStringLiteral(" in the middle of a reply");
    fault(reason);
}

void CompileService::fault(const QString& reason)
{
    if (!process_)
        return;
    const QString said = QString::fromLocal8Bit(lastError_).trimmed().section(u'\n', -1).trimmed();
    stop(false);
    ++faultsInARow_;
    const QString text = said.isEmpty() ? reason : reason + QStringLiteral(": ") + said;
    emit faulted(text);
    if (faultsInARow_ > MaxRestarts) {
        givenUp_ = true;
        emit gaveUp(text);
    }
}

void CompileService::stop(bool gently)
{
    timeout_.stop();
    inFlight_ = false;
    completionInFlight_ = false;
    order_.clear();
    if (!process_)
        return;
    QProcess* process = process_;
    process_ = nullptr;
    process->disconnect(this);
    // The service ends by itself when its input closes; one that does not, or is at fault, is killed.
    process->closeWriteChannel();
    if (process->state() != QProcess::NotRunning && (!gently || !process->waitForFinished(200))) {
        process->kill();
        process->waitForFinished(1000);
    }
    process->deleteLater();
}
