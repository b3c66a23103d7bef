#pragma once

#include <QIdentityProxyModel>

namespace cairnmoor {

// The flat catalogue rows with one more role for drawing: whether a row is the last of
// its category, so that the virtualised list can close the category's card under it.
class CatalogueCardModel : public QIdentityProxyModel {
    Q_OBJECT

public:
    static constexpr int ClosesCardRole = Qt::UserRole + 100;

    explicit CatalogueCardModel(QObject* parent = nullptr);

    void setSourceModel(QAbstractItemModel* sourceModel) override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    bool isHeaderRow(int row) const;
    int isHeaderRole_ = -1;
};

} // namespace cairnmoor
