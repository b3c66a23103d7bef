#pragma once

#include "catalogue/Catalog.hpp"
#include "install/InstallOptions.hpp"
#include "install/Profile.hpp"
#include "install/ProfilePackage.hpp"

#include <QAbstractListModel>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace cairnmoor {

// The window's side of carrying a Mac over: the packages chosen beyond the catalogue (the
// "Not in the catalogue" rows: added by name, removed, saved with the profile), importing
// a Brewfile as the selection, and saving this Mac as a profile. The manager's answers
// (a name checked, the inventory) are awaited off the UI thread. Lives on the UI thread.
class CarryOver : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY packagesChanged)
    // A check of a name or a capture is under way.
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    // What the last step came to, for the user to read; empty when there is nothing to say.
    Q_PROPERTY(QString message READ message NOTIFY messageChanged)

public:
    enum Role { NameRole = Qt::UserRole + 1, KindRole };

    // What the owner provides: its catalogue, its options, Homebrew's executable when
    // found, and how it takes a profile as its selection (throwing what loading throws).
    struct Owner {
        std::function<const Catalog&()> catalog;
        std::function<InstallOptions()> options;
        std::function<std::optional<std::string>(PackageManager)> managerPath;
        std::function<void(const Profile&)> apply;
    };
    // Asks the manager about a package off the UI thread: empty when it knows it, else
    // the sentence to show.
    using Checker =
        std::function<std::string(const std::string& managerPath, const ProfilePackage& package)>;

    explicit CarryOver(Owner owner, Checker checker = brewInfo(), QObject* parent = nullptr);
    // Waits for a check or a capture still under way.
    ~CarryOver() override;
    CarryOver(const CarryOver&) = delete;
    CarryOver& operator=(const CarryOver&) = delete;

    const std::vector<ProfilePackage>& packages() const { return packages_; }
    void setPackages(std::vector<ProfilePackage> packages);
    // The packages as entries of a run.
    std::vector<AppEntry> entries() const;

    int count() const { return static_cast<int>(packages_.size()); }
    bool busy() const { return worker_.joinable(); }
    QString message() const { return message_; }

    // `kind` "formula", "cask" or "port". A name outside the rules, one already chosen or
    // one the catalogue has is refused at once; with Homebrew found, the name joins once
    // `brew info` knows it.
    Q_INVOKABLE void add(const QString& name, const QString& kind);
    Q_INVOKABLE void remove(int row);
    // The Brewfile's packages become the selection (catalogue ones ticked, the others
    // rows here), with the current options; the message lists what was not used.
    Q_INVOKABLE void importBrewfile(const QString& path);
    // Takes this Mac's inventory with the chosen manager and writes it to `path` (the save
    // dialog has asked before replacing a file).
    Q_INVOKABLE void captureMac(const QString& path);

    // `brew info --formula|--cask NAME`: known when it succeeds.
    static Checker brewInfo();

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

Q_SIGNALS:
    void packagesChanged();
    void busyChanged();
    void messageChanged();

private:
    void setMessage(QString text);
    // Runs `work` on the worker thread; what it returns runs on the UI thread after.
    void startWork(std::function<std::function<void()>()> work);
    void finishWork(const std::function<void()>& after);

    Owner owner_;
    Checker checker_;
    std::vector<ProfilePackage> packages_;
    QString message_;
    std::thread worker_;
};

} // namespace cairnmoor
