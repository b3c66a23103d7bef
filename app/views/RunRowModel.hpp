#pragma once

#include "install/OutcomeCounts.hpp"
#include "views/RunRow.hpp"

#include <QAbstractListModel>

#include <string>
#include <vector>

namespace cairnmoor {

// The run's rows for the run sheet; a state change updates one row in place.
class RunRowModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    // The outcome in a few words: "2 installed, 1 installed outside Homebrew, 1 failed"
    // (final states only).
    Q_PROPERTY(QString summary READ summary NOTIFY summaryChanged)
    // The row downloading or installing last (-1 before the first): the one to keep in view.
    Q_PROPERTY(int activeIndex READ activeIndex NOTIFY activeIndexChanged)

public:
    enum Role {
        AppIdRole = Qt::UserRole + 1,
        NameRole,
        StateKindRole,    // "failed", "pending", "downloading", "installing", "installed",
                          // "alreadyPresent", "installedOutside", "skipped"
        StateTextRole,    // RunRow::text(): "Will install", ..., "Failed: <message>"
        StateMessageRole, // the failure message, empty otherwise
        IsFinalRole,
        DetailRole, // a failure's last error line from the manager; empty otherwise
    };
    Q_ENUM(Role)

    explicit RunRowModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;
    int count() const { return static_cast<int>(rows_.size()); }
    OutcomeCounts outcomes() const;
    QString summary() const;
    int activeIndex() const { return activeIndex_; }
    // Rows the run has reached and ended (RunRow::worked), and rows whose download ahead
    // is over.
    int workedCount() const;
    int fetchedCount() const;

    const std::vector<RunRow>& rows() const { return rows_; }
    void setRows(std::vector<RunRow> rows);
    // Sets the state of the first row with this id (and a failure's detail); false when
    // there is none.
    bool setState(const std::string& id, const PackageState& state, std::string detail = {});
    // Gives each row its planned action; the plan lists the rows' apps in their order.
    void setPlan(const std::vector<PlannedEntry>& plan);

Q_SIGNALS:
    void countChanged();
    void summaryChanged();
    void activeIndexChanged();

private:
    std::vector<RunRow> rows_;
    int activeIndex_ = -1;
};

} // namespace cairnmoor
