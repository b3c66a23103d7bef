#include "views/RunRowModel.hpp"

#include <QStringList>

#include <algorithm>
#include <utility>

namespace cairnmoor {

RunRowModel::RunRowModel(QObject* parent) : QAbstractListModel(parent) {}

int RunRowModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant RunRowModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= count()) {
        return {};
    }
    const RunRow& row = rows_[static_cast<std::size_t>(index.row())];
    switch (role) {
    case AppIdRole:
        return QString::fromStdString(row.app.id);
    case Qt::DisplayRole:
    case NameRole:
        return QString::fromStdString(row.app.name);
    case StateKindRole:
        return QString::fromUtf8(row.state.caseName().data(),
                                 static_cast<qsizetype>(row.state.caseName().size()));
    case StateTextRole:
        return QString::fromStdString(row.text());
    case StateMessageRole:
        return QString::fromStdString(row.state.message);
    case IsFinalRole:
        return row.state.isFinal();
    case DetailRole:
        return QString::fromStdString(row.detail);
    default:
        return {};
    }
}

QHash<int, QByteArray> RunRowModel::roleNames() const {
    return {{AppIdRole, QByteArrayLiteral("appId")},
            {NameRole, QByteArrayLiteral("name")},
            {StateKindRole, QByteArrayLiteral("stateKind")},
            {StateTextRole, QByteArrayLiteral("stateText")},
            {StateMessageRole, QByteArrayLiteral("stateMessage")},
            {IsFinalRole, QByteArrayLiteral("isFinal")},
            {DetailRole, QByteArrayLiteral("detail")}};
}

OutcomeCounts RunRowModel::outcomes() const {
    OutcomeCounts counts;
    for (const RunRow& row : rows_) {
        counts.add(row.state);
    }
    return counts;
}

QString RunRowModel::summary() const {
    using Kind = PackageState::Kind;
    const OutcomeCounts counts = outcomes();
    QStringList parts;
    for (const Kind kind : {Kind::installed, Kind::alreadyPresent, Kind::installedOutside,
                            Kind::failed, Kind::skipped, Kind::skippedRunning}) {
        if (counts[kind] > 0) {
            const std::string_view text = PackageState::names(kind).tallyText;
            parts.push_back(QString::number(counts[kind]) + QLatin1Char(' ') +
                            QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        }
    }
    return parts.join(QStringLiteral(", "));
}

void RunRowModel::setRows(std::vector<RunRow> rows) {
    const bool countChanges = rows.size() != rows_.size();
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
    if (activeIndex_ != -1) {
        activeIndex_ = -1;
        Q_EMIT activeIndexChanged();
    }
    if (countChanges) {
        Q_EMIT countChanged();
    }
    Q_EMIT summaryChanged();
}

bool RunRowModel::setState(const std::string& id, const PackageState& state, std::string detail) {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].id() == id) {
            RunRow& row = rows_[i];
            using Kind = PackageState::Kind;
            row.fetched = row.fetched ||
                          (row.state.kind == Kind::downloading && state.kind != Kind::downloading);
            row.started = row.started || state.kind == Kind::installing;
            row.state = state;
            row.detail = std::move(detail);
            const QModelIndex changed = index(static_cast<int>(i));
            Q_EMIT dataChanged(
                changed, changed,
                {StateKindRole, StateTextRole, StateMessageRole, IsFinalRole, DetailRole});
            if ((state.kind == Kind::installing || state.kind == Kind::downloading) &&
                activeIndex_ != static_cast<int>(i)) {
                activeIndex_ = static_cast<int>(i);
                Q_EMIT activeIndexChanged();
            }
            Q_EMIT summaryChanged();
            return true;
        }
    }
    return false;
}

int RunRowModel::workedCount() const {
    return static_cast<int>(
        std::count_if(rows_.begin(), rows_.end(), [](const RunRow& row) { return row.worked(); }));
}

int RunRowModel::fetchedCount() const {
    return static_cast<int>(
        std::count_if(rows_.begin(), rows_.end(), [](const RunRow& row) { return row.fetched; }));
}

void RunRowModel::setPlan(const std::vector<PlannedEntry>& plan) {
    // The plan has one entry per row, in the rows' order.
    for (std::size_t i = 0; i < rows_.size() && i < plan.size(); ++i) {
        if (rows_[i].id() == plan[i].app.id) {
            rows_[i].planned = plan[i].action;
            rows_[i].existing = plan[i].existing;
        }
    }
    if (!rows_.empty()) {
        Q_EMIT dataChanged(index(0), index(count() - 1), {StateTextRole});
    }
}

} // namespace cairnmoor
