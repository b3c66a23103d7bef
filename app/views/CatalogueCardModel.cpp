#include "views/CatalogueCardModel.hpp"

namespace cairnmoor {

CatalogueCardModel::CatalogueCardModel(QObject* parent) : QIdentityProxyModel(parent) {
    // Rows added or removed in the middle change whether their neighbours close a card.
    auto neighboursChanged = [this](const QModelIndex& parent, int first, int) {
        if (parent.isValid() || first == 0 || first - 1 >= rowCount()) {
            return;
        }
        const QModelIndex before = index(first - 1, 0);
        Q_EMIT dataChanged(before, before, {ClosesCardRole});
    };
    connect(this, &QAbstractItemModel::rowsInserted, this, neighboursChanged);
    connect(this, &QAbstractItemModel::rowsRemoved, this, neighboursChanged);
}

void CatalogueCardModel::setSourceModel(QAbstractItemModel* sourceModel) {
    QIdentityProxyModel::setSourceModel(sourceModel);
    isHeaderRole_ = sourceModel ? sourceModel->roleNames().key("isHeader", -1) : -1;
}

bool CatalogueCardModel::isHeaderRow(int row) const {
    return data(index(row, 0), isHeaderRole_).toBool();
}

QVariant CatalogueCardModel::data(const QModelIndex& proxyIndex, int role) const {
    if (role != ClosesCardRole) {
        return QIdentityProxyModel::data(proxyIndex, role);
    }
    if (!proxyIndex.isValid() || isHeaderRole_ < 0) {
        return false;
    }
    const int next = proxyIndex.row() + 1;
    return next >= rowCount() || isHeaderRow(next);
}

QHash<int, QByteArray> CatalogueCardModel::roleNames() const {
    QHash<int, QByteArray> names = QIdentityProxyModel::roleNames();
    names.insert(ClosesCardRole, "closesCard");
    return names;
}

} // namespace cairnmoor
