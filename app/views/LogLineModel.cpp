#include "views/LogLineModel.hpp"

namespace cairnmoor {

LogLineModel::LogLineModel(QObject* parent) : QAbstractListModel(parent) {}

int LogLineModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant LogLineModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= count()) {
        return {};
    }
    if (role == Qt::DisplayRole || role == LineRole) {
        return lines_[static_cast<std::size_t>(index.row())];
    }
    return {};
}

QHash<int, QByteArray> LogLineModel::roleNames() const {
    return {{LineRole, QByteArrayLiteral("line")}, {Qt::DisplayRole, QByteArrayLiteral("display")}};
}

QString LogLineModel::text() const {
    QString joined;
    for (const QString& line : lines_) {
        joined += line;
        joined += QLatin1Char('\n');
    }
    return joined;
}

void LogLineModel::append(std::vector<QString> lines) {
    if (lines.empty()) {
        return;
    }
    const int first = count();
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(lines.size()) - 1);
    lines_.insert(lines_.end(), std::make_move_iterator(lines.begin()),
                  std::make_move_iterator(lines.end()));
    endInsertRows();
    Q_EMIT countChanged();
}

void LogLineModel::clear() {
    if (lines_.empty()) {
        return;
    }
    beginResetModel();
    std::deque<QString>().swap(lines_);
    endResetModel();
    Q_EMIT countChanged();
}

} // namespace cairnmoor
