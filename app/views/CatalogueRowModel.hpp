#pragma once

#include "catalogue/AppEntry.hpp"

#include <QAbstractListModel>

#include <string>
#include <vector>

namespace cairnmoor {

class InstalledMarks;
class Selection;

// The catalogue as one flat, search-filtered list for a single virtualised ListView:
// for every category with matching entries a header row followed by those entries. A
// search hides the categories it leaves empty.
class CatalogueRowModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role {
        KindRole = Qt::UserRole + 1, // "header" or "app"
        IsHeaderRole,
        CategoryRole,
        // Header rows: -1 mixed, 0 none selected (or nothing eligible), 1 all selected.
        CategoryStateRole,
        CategoryCheckedRole, // state == 1; a mixed category shows unchecked
        // App rows (empty/false on header rows):
        AppIdRole,
        NameRole,
        SummaryRole,
        LicenceRole,
        LicenceTooltipRole,
        HomepageRole,
        RecommendedRole,
        SelectedRole,
        CheckEnabledRole, // false only when the manager has no package and it is unselected
        PackageTextRole,  // the package name, or "Not available via <manager>"
        HelpTextRole,     // "Select <name>" or "No verified <manager> mapping"
        // "Installed", "Installed outside Homebrew", ... once an inventory is known; empty
        // otherwise. Its tooltip says with what, or where the app was found.
        InstalledTextRole,
        InstalledHelpRole,
    };
    Q_ENUM(Role)

    // Both outlive the rows.
    CatalogueRowModel(const Selection& selection, const InstalledMarks& marks,
                      QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;
    int count() const { return static_cast<int>(rows_.size()); }

    // Rebuilds the rows from the selection's categories and search (a model reset).
    void rebuild();
    // Selection or manager changed: the rows stay, their check state and texts change.
    void refreshRowState();
    // A new inventory: only the installed marks change.
    void refreshMarks();

Q_SIGNALS:
    void countChanged();

private:
    // Points into the selection's catalogue and categories, which outlive the rows: both
    // change only together with a rebuild.
    struct Row {
        const std::string* category = nullptr;
        const AppEntry* app = nullptr; // none on header rows
    };

    const Selection& selection_;
    const InstalledMarks& marks_;
    std::vector<Row> rows_;
};

} // namespace cairnmoor
