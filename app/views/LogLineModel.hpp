#pragma once

#include <QAbstractListModel>
#include <QString>

#include <deque>
#include <vector>

namespace cairnmoor {

// The run's log lines in arrival order. Lines are appended in batches (one row
// insertion per batch), never by rebuilding the list.
class LogLineModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role { LineRole = Qt::UserRole + 1 };
    Q_ENUM(Role)

    explicit LogLineModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;
    int count() const { return static_cast<int>(lines_.size()); }

    const std::deque<QString>& lines() const { return lines_; }
    // The whole log as one text, lines joined by line feeds (for copying).
    Q_INVOKABLE QString text() const;
    void append(std::vector<QString> lines);
    void clear();

Q_SIGNALS:
    void countChanged();

private:
    std::deque<QString> lines_; // grows without moving what is already there
};

} // namespace cairnmoor
