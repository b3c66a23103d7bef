#include "views/CatalogueRowModel.hpp"

#include "install/Selection.hpp"
#include "views/InstalledMarks.hpp"

namespace cairnmoor {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

int stateValue(std::optional<bool> state) {
    return state ? (*state ? 1 : 0) : -1;
}

} // namespace

CatalogueRowModel::CatalogueRowModel(const Selection& selection, const InstalledMarks& marks,
                                     QObject* parent)
    : QAbstractListModel(parent), selection_(selection), marks_(marks) {}

int CatalogueRowModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant CatalogueRowModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= count()) {
        return {};
    }
    const Row& row = rows_[static_cast<std::size_t>(index.row())];
    const bool isHeader = row.app == nullptr;
    switch (role) {
    case KindRole:
        return isHeader ? QStringLiteral("header") : QStringLiteral("app");
    case IsHeaderRole:
        return isHeader;
    case CategoryRole:
        return qs(*row.category);
    case CategoryStateRole:
        return isHeader ? stateValue(selection_.categoryState(*row.category)) : 0;
    case CategoryCheckedRole:
        return isHeader && selection_.categoryState(*row.category) == true;
    default:
        break;
    }
    if (isHeader) {
        if (role == Qt::DisplayRole || role == NameRole) {
            return qs(*row.category);
        }
        return role == AppIdRole || role == SummaryRole || role == LicenceRole ||
                       role == LicenceTooltipRole || role == HomepageRole ||
                       role == PackageTextRole || role == HelpTextRole ||
                       role == InstalledTextRole || role == InstalledHelpRole
                   ? QVariant(QString())
                   : QVariant(false);
    }
    const AppEntry& app = *row.app;
    switch (role) {
    case AppIdRole:
        return qs(app.id);
    case Qt::DisplayRole:
    case NameRole:
        return qs(app.name);
    case SummaryRole:
        return qs(app.summary);
    case LicenceRole:
        return qs(app.licence);
    case LicenceTooltipRole: {
        const auto& licences = selection_.catalog().licences;
        const auto found = licences.find(app.licence);
        return qs(found == licences.end() ? app.licence : found->second);
    }
    case HomepageRole:
        return qs(app.homepage);
    case RecommendedRole:
        return app.isRecommended();
    case SelectedRole:
        return selection_.ids().contains(app.id);
    case CheckEnabledRole:
        return selection_.checkEnabled(app);
    case PackageTextRole:
        return qs(selection_.packageText(app));
    case HelpTextRole:
        return qs(selection_.selectHelpText(app));
    case InstalledTextRole:
        return marks_.text(app.id);
    case InstalledHelpRole:
        return marks_.help(app.id);
    default:
        return {};
    }
}

QHash<int, QByteArray> CatalogueRowModel::roleNames() const {
    return {{KindRole, QByteArrayLiteral("kind")},
            {IsHeaderRole, QByteArrayLiteral("isHeader")},
            {CategoryRole, QByteArrayLiteral("category")},
            {CategoryStateRole, QByteArrayLiteral("categoryState")},
            {CategoryCheckedRole, QByteArrayLiteral("categoryChecked")},
            {AppIdRole, QByteArrayLiteral("appId")},
            {NameRole, QByteArrayLiteral("name")},
            {SummaryRole, QByteArrayLiteral("summary")},
            {LicenceRole, QByteArrayLiteral("licence")},
            {LicenceTooltipRole, QByteArrayLiteral("licenceTooltip")},
            {HomepageRole, QByteArrayLiteral("homepage")},
            {RecommendedRole, QByteArrayLiteral("recommended")},
            {SelectedRole, QByteArrayLiteral("selected")},
            {CheckEnabledRole, QByteArrayLiteral("checkEnabled")},
            {PackageTextRole, QByteArrayLiteral("packageText")},
            {HelpTextRole, QByteArrayLiteral("helpText")},
            {InstalledTextRole, QByteArrayLiteral("installedText")},
            {InstalledHelpRole, QByteArrayLiteral("installedHelp")}};
}

void CatalogueRowModel::rebuild() {
    std::vector<Row> rows;
    for (const std::string& category : selection_.categories()) {
        // Every listed category has entries; one without any here is hidden by the search.
        const std::vector<const AppEntry*>& shown = selection_.shown(category);
        if (shown.empty()) {
            continue;
        }
        rows.push_back(Row{&category, nullptr});
        for (const AppEntry* app : shown) {
            rows.push_back(Row{&category, app});
        }
    }
    const bool countChanges = rows.size() != rows_.size();
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
    if (countChanges) {
        Q_EMIT countChanged();
    }
}

void CatalogueRowModel::refreshRowState() {
    if (rows_.empty()) {
        return;
    }
    Q_EMIT dataChanged(index(0), index(count() - 1),
                       {CategoryStateRole, CategoryCheckedRole, SelectedRole, CheckEnabledRole,
                        PackageTextRole, HelpTextRole});
}

void CatalogueRowModel::refreshMarks() {
    if (!rows_.empty()) {
        Q_EMIT dataChanged(index(0), index(count() - 1), {InstalledTextRole, InstalledHelpRole});
    }
}

} // namespace cairnmoor
