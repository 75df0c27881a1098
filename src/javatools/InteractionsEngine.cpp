#include "InteractionsEngine.h"

using namespace InteractionsProtocol;

namespace {
// Output of the user's code comes in pieces; a piece is never this large, a broken stream may be.
constexpr qsizetype MaxMessage = 16 << 20;
}

InteractionsEngine::InteractionsEngine(QStringList command, QObject* parent)
    : QObject(parent), command_(std::move(command)), reader_(MaxMessage)
{
}

InteractionsEngine::~InteractionsEngine()
{
    shutDown(true);
}

qint64 InteractionsEngine::processId() const
{
    return process_ ? process_->processId() : 0;
}

void InteractionsEngine::startSession(const QString& classPath, const QString& setup)
{
    if (command_.isEmpty()) {
        emit failed(QStringLiteral("no JDK was found"));
        return;
    }
    if (!process_) {
        reader_.clear();
        lastError_.clear();
        for (QStringDecoder& decoder : printed_)
            decoder = QStringDecoder(QStringDecoder::Utf8);
        process_ = new QProcess(this);
        process_->setProgram(command_.value(0));
        process_->setArguments(command_.mid(1));
        connect(process_, &QProcess::readyReadStandardOutput, this, &InteractionsEngine::onReadyRead);
        connect(process_, &QProcess::readyReadStandardError, this, [this] {
            lastError_.append(process_->readAllStandardError());
            if (lastError_.size() > 2048)
                lastError_ = lastError_.right(2048);
        });
        connect(process_, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
            fault(status == QProcess::CrashExit ? QStringLiteral("it crashed")
                                                : QStringLiteral("it ended with exit status %1").arg(exitCode));
        });
        connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                fault(QStringLiteral("it could not be started (%1)").arg(process_->errorString()));
        });
        process_->start(QIODevice::ReadWrite | QIODevice::Unbuffered);
        if (!process_)
            return; // failed at once
    }
    if (busy_)
        stop();
    ready_ = false;
    busy_ = false;
    send(encodeNewSession(++sessionId_, classPath, setup));
}

bool InteractionsEngine::evaluate(const QString& source, bool force)
{
    if (!process_ || !isReady())
        return false;
    busy_ = true;
    inFlight_ = source;
    send(encodeEvaluate(++evaluationId_, force, source));
    return true;
}

void InteractionsEngine::sendInput(const QString& line)
{
    if (process_)
        send(encodeInput(line + u'\n'));
}

void InteractionsEngine::stop()
{
    if (process_ && busy_)
        send(encodeStop());
}

void InteractionsEngine::send(const QByteArray& payload)
{
    // QProcess keeps what the pipe cannot take yet and writes it as the service reads.
    process_->write(ServiceFraming::frame(payload));
}

void InteractionsEngine::onReadyRead()
{
    if (!process_)
        return;
    reader_.append(process_->readAllStandardOutput());
    // Code that prints in a loop sends many small pieces: what came together is shown together, so
    // that the window keeps up (and Stop can be pressed).
    QString printed;
    bool printedIsError = false;
    const auto flushPrinted = [&] {
        if (!printed.isEmpty())
            emit output(std::exchange(printed, QString()), printedIsError);
    };
    QByteArray payload;
    for (;;) {
        switch (reader_.next(payload)) {
        case ServiceFraming::FrameReader::Status::Incomplete:
            flushPrinted();
            return;
        case ServiceFraming::FrameReader::Status::Oversized:
            fault(QStringLiteral("it sent a message too long to make sense"));
            return;
        case ServiceFraming::FrameReader::Status::Message:
            break;
        }
        const std::optional<Message> message = decodeMessage(payload, inFlight_.size());
        if (message && message->type == Message::Type::Output) {
            if (message->isError != printedIsError)
                flushPrinted();
            printedIsError = message->isError;
            printed += printed_[message->isError ? 1 : 0].decode(message->bytes);
            continue;
        }
        flushPrinted();
        if (!message) {
            fault(QStringLiteral("it sent a message that makes no sense"));
            return;
        }
        switch (message->type) {
        case Message::Type::Ready:
            // An older session's answer is stale: a newer one was asked for since.
            if (message->id == sessionId_) {
                ready_ = true;
                emit ready(message->note);
            }
            break;
        case Message::Type::Evaluated:
            if (message->id == evaluationId_ && busy_) {
                busy_ = false;
                const QString source = std::exchange(inFlight_, QString());
                emit evaluated(source, message->complete, message->items);
            }
            break;
        case Message::Type::Output:
            break; // gathered above
        case Message::Type::InputWanted:
            emit inputWanted();
            break;
        case Message::Type::SessionEnded:
            emit sessionEnded(message->note);
            break;
        }
        if (!process_)
            return; // shut down by a receiver
    }
}

void InteractionsEngine::fault(const QString& reason)
{
    if (!process_)
        return;
    const QString said = QString::fromLocal8Bit(lastError_).trimmed().section(u'\n', -1).trimmed();
    shutDown(false);
    emit failed(said.isEmpty() ? reason : reason + QStringLiteral(": ") + said);
}

void InteractionsEngine::shutDown(bool gently)
{
    ready_ = false;
    busy_ = false;
    inFlight_.clear();
    if (!process_)
        return;
    QProcess* process = process_;
    process_ = nullptr;
    process->disconnect(this);
    // The service ends its session's machine and itself when its input closes.
    process->closeWriteChannel();
    if (process->state() != QProcess::NotRunning && (!gently || !process->waitForFinished(1000))) {
        process->kill();
        process->waitForFinished(1000);
    }
    process->deleteLater();
}
