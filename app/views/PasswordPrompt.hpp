#pragma once

#include "managers/AskpassChannel.hpp"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace cairnmoor {

// The administrator password dialog of a window run. It owns the run's password channel
// (AskpassChannel), shows one question at a time naming the app being installed, and hands
// the answer to the channel; the text typed is copied once into a buffer that is wiped
// after sending, and never kept here.
class PasswordPrompt : public QObject {
    Q_OBJECT
    // A password is being asked for.
    Q_PROPERTY(bool asking READ asking NOTIFY changed)
    // "Firefox needs an administrator password to install."
    Q_PROPERTY(QString question READ question NOTIFY changed)
    // sudo asks again after a wrong password.
    Q_PROPERTY(bool lastTryWrong READ lastTryWrong NOTIFY changed)

public:
    explicit PasswordPrompt(QObject* parent = nullptr);
    ~PasswordPrompt() override;

    bool asking() const { return pending_.has_value(); }
    QString question() const { return question_; }
    bool lastTryWrong() const { return lastTryWrong_; }

    // Opens the run's channel and returns what the manager's children need
    // (SUDO_ASKPASS); throws std::system_error when no channel can be made.
    std::vector<std::pair<std::string, std::string>> beginRun();
    // Refuses a question still open, forgets a kept password and removes the channel.
    void endRun();
    // The app whose install runs now: the one a question names.
    void setCurrentApp(const QString& name) { app_ = name; }

    // Sends the password; with `keepForRun` it answers later questions of this run too.
    Q_INVOKABLE void submit(const QString& password, bool keepForRun);
    // No password: sudo fails, and so does the package.
    Q_INVOKABLE void cancel();

    static QString questionFor(const QString& app);
    // What sudo starts as the helper: this executable unless set (tests run the window
    // from a test program, and name Cairnmoor's).
    void setHelperExecutable(std::string path) { executable_ = std::move(path); }

Q_SIGNALS:
    void changed();

private:
    void ask(std::uint64_t number, bool retry);
    void withdraw(std::uint64_t number);

    std::string executable_;
    std::unique_ptr<AskpassChannel> channel_;
    std::optional<std::uint64_t> pending_;
    QString app_;
    QString question_;
    bool lastTryWrong_ = false;
};

} // namespace cairnmoor
