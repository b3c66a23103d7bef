#include "views/PasswordPrompt.hpp"

#include "platform/SecretText.hpp"

#include <QByteArray>
#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

namespace cairnmoor {

PasswordPrompt::PasswordPrompt(QObject* parent) : QObject(parent) {}

PasswordPrompt::~PasswordPrompt() {
    endRun();
}

QString PasswordPrompt::questionFor(const QString& app) {
    return (app.isEmpty() ? QStringLiteral("A package") : app) +
           QStringLiteral(" needs an administrator password to install.");
}

std::vector<std::pair<std::string, std::string>> PasswordPrompt::beginRun() {
    endRun();
    const std::string executable =
        executable_.empty() ? QCoreApplication::applicationFilePath().toStdString() : executable_;
    // The channel's thread only posts here; each post checks that this object lives.
    QPointer<PasswordPrompt> weak(this);
    channel_ = std::make_unique<AskpassChannel>(
        executable,
        AskpassChannel::Handlers{[weak](const AskpassChannel::Request& request) {
                                     QMetaObject::invokeMethod(
                                         weak.data(),
                                         [weak, number = request.number, retry = request.retry] {
                                             if (weak) {
                                                 weak->ask(number, retry);
                                             }
                                         },
                                         Qt::QueuedConnection);
                                 },
                                 [weak](std::uint64_t number) {
                                     QMetaObject::invokeMethod(
                                         weak.data(),
                                         [weak, number] {
                                             if (weak) {
                                                 weak->withdraw(number);
                                             }
                                         },
                                         Qt::QueuedConnection);
                                 }});
    return {{"SUDO_ASKPASS", channel_->helperPath().string()}};
}

void PasswordPrompt::endRun() {
    // The channel refuses what is still open and wipes a kept password as it goes.
    channel_.reset();
    if (pending_) {
        pending_.reset();
        question_.clear();
        lastTryWrong_ = false;
        Q_EMIT changed();
    }
}

void PasswordPrompt::ask(std::uint64_t number, bool retry) {
    if (!channel_) {
        return;
    }
    pending_ = number;
    question_ = questionFor(app_);
    lastTryWrong_ = retry;
    Q_EMIT changed();
}

void PasswordPrompt::withdraw(std::uint64_t number) {
    if (pending_ == number) {
        pending_.reset();
        question_.clear();
        lastTryWrong_ = false;
        Q_EMIT changed();
    }
}

void PasswordPrompt::submit(const QString& password, bool keepForRun) {
    if (!pending_ || !channel_) {
        return;
    }
    QByteArray text = password.toUtf8();
    channel_->answer(*pending_, SecretText(std::string_view(text.constData(), text.size())),
                     keepForRun);
    SecretText::wipe(text.data(), static_cast<std::size_t>(text.size()));
    withdraw(*pending_);
}

void PasswordPrompt::cancel() {
    if (!pending_ || !channel_) {
        return;
    }
    channel_->refuse(*pending_);
    withdraw(*pending_);
}

} // namespace cairnmoor
