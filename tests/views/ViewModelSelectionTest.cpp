// The window model without a run: derived lists, selection, categories, managers,
// options and profiles, driven as the views drive it.
#include "ViewModelTestFixture.hpp"
#include "catalogue/CatalogSearch.hpp"
#include "install/Profile.hpp"
#include "managers/PackageManagerError.hpp"

#include <QSignalSpy>
#include <QUrl>
#include <gmock/gmock.h>

#include <regex>

namespace cairnmoor::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::map<PackageManager, std::string> bothManagers = {
    {PackageManager::homebrew, "/opt/fake/bin/brew"},
    {PackageManager::macports, "/opt/local/bin/port"}};

std::vector<std::string> ids(const std::vector<AppEntry>& apps) {
    std::vector<std::string> result;
    for (const AppEntry& app : apps) {
        result.push_back(app.id);
    }
    return result;
}

std::vector<std::string> selected(const CairnmoorViewModel& model) {
    return {model.selectedIds().begin(), model.selectedIds().end()};
}

void useManager(CairnmoorViewModel& model, PackageManager manager) {
    InstallOptions options = model.options();
    options.packageManager = manager;
    model.setOptions(options);
}

// What a single ListView over the catalogue rows shows: "#Category" for a header,
// the id for an entry.
std::vector<std::string> shownRows(CatalogueRowModel& rows) {
    std::vector<std::string> result;
    for (int row = 0; row < rows.rowCount(); ++row) {
        const QModelIndex index = rows.index(row);
        const bool header = rows.data(index, CatalogueRowModel::IsHeaderRole).toBool();
        const int role = header ? CatalogueRowModel::CategoryRole : CatalogueRowModel::AppIdRole;
        const QString text = rows.data(index, role).toString();
        result.push_back((header ? QStringLiteral("#") + text : text).toStdString());
    }
    return result;
}

QVariant roleOf(CatalogueRowModel& rows, const std::string& shown, int role) {
    const std::vector<std::string> all = shownRows(rows);
    const auto found = std::find(all.begin(), all.end(), shown);
    EXPECT_NE(found, all.end()) << shown;
    return rows.data(rows.index(static_cast<int>(found - all.begin())), role);
}

TEST_F(ViewModelTest, ListsOnlyListedCategoriesThatHaveMacEntriesWhateverTheSearch) {
    auto model = makeModel();
    EXPECT_THAT(model->categories(), ElementsAre("Browsers", "Developer", "Media"));
    EXPECT_EQ(model->catalog().apps.size(), 8u);
    EXPECT_FALSE(model->loadError());

    model->setSearchText(QStringLiteral("gamma"));
    EXPECT_THAT(model->categories(), ElementsAre("Browsers", "Developer", "Media"));
    EXPECT_THAT(ids(model->filteredApps()), ElementsAre("gamma"));
    EXPECT_THAT(ids(model->apps("Browsers")), ElementsAre("gamma"));
    EXPECT_THAT(model->apps("Developer"), IsEmpty());
    // An entry of a category the catalogue does not list is never shown.
    model->setSearchText(QStringLiteral("golf"));
    EXPECT_THAT(ids(model->filteredApps()), ElementsAre("golf"));
    EXPECT_THAT(shownRows(*model->catalogueRows()),
                ElementsAre("#Browsers", "#Developer", "#Media"));
}

TEST_F(ViewModelTest, CatalogueRowsFollowTheSearchAndKeepEmptyCategoryHeaders) {
    auto model = makeModel();
    CatalogueRowModel& rows = *model->catalogueRows();
    EXPECT_THAT(shownRows(rows), ElementsAre("#Browsers", "alpha", "beta", "gamma", "#Developer",
                                             "delta", "echo", "#Media", "foxtrot"));
    QSignalSpy resets(&rows, &QAbstractItemModel::modelReset);
    model->setSearchText(QStringLiteral("ECHO"));
    EXPECT_EQ(resets.count(), 1);
    EXPECT_THAT(shownRows(rows), ElementsAre("#Browsers", "#Developer", "echo", "#Media"));
    // A category the search empties shows an unchecked header, and ticking it selects
    // nothing.
    EXPECT_EQ(roleOf(rows, "#Media", CatalogueRowModel::CategoryStateRole).toInt(), 0);
    model->setCategory(QStringLiteral("Media"), true);
    EXPECT_THAT(model->selectedIds(), IsEmpty());
}

TEST_F(ViewModelTest, SelectingACategoryTouchesOnlyEntriesTheSearchShows) {
    auto model = makeModel();
    model->toggle(QStringLiteral("beta"));
    model->setSearchText(QStringLiteral("gamma"));
    model->setCategory(QStringLiteral("Browsers"), true);
    EXPECT_THAT(selected(*model), ElementsAre("beta", "gamma"));

    // Deselecting with the search on leaves the hidden beta selected.
    model->setCategory(QStringLiteral("Browsers"), false);
    EXPECT_THAT(selected(*model), ElementsAre("beta"));

    // Under MacPorts, selecting skips what the manager cannot install (beta has no
    // port), but deselecting removes it.
    model->setSearchText(QString());
    useManager(*model, PackageManager::macports);
    model->clearSelection();
    model->setCategory(QStringLiteral("Browsers"), true);
    EXPECT_THAT(selected(*model), ElementsAre("alpha", "gamma"));
    model->toggle(QStringLiteral("beta"));
    model->setCategory(QStringLiteral("Browsers"), false);
    EXPECT_THAT(model->selectedIds(), IsEmpty());
}

TEST_F(ViewModelTest, SelectingACategoryIsOneChangeOfTheSelection) {
    auto model = makeModel();
    QSignalSpy changes(model.get(), &CairnmoorViewModel::selectedIdsChanged);
    model->setCategory(QStringLiteral("Browsers"), true);
    EXPECT_EQ(changes.count(), 1);
    model->setCategory(QStringLiteral("Browsers"), true); // nothing new
    EXPECT_EQ(changes.count(), 1);
}

// Browsers under MacPorts: alpha and gamma installable, beta not.
struct CategoryStateCase {
    std::vector<std::string> selection;
    std::optional<bool> expected;
};

class CategoryStateTest : public ViewModelTest,
                          public ::testing::WithParamInterface<CategoryStateCase> {};

TEST_P(CategoryStateTest, CountsEligibleEntriesOnly) {
    auto model = makeModel();
    useManager(*model, PackageManager::macports);
    for (const std::string& id : GetParam().selection) {
        model->toggle(QString::fromStdString(id));
    }
    EXPECT_EQ(model->categorySelectionState(std::string("Browsers")), GetParam().expected);
    // The header row and the QML helper say the same, mixed as -1.
    const int asInt = GetParam().expected ? (*GetParam().expected ? 1 : 0) : -1;
    EXPECT_EQ(model->categorySelectionState(QStringLiteral("Browsers")), asInt);
    EXPECT_EQ(
        roleOf(*model->catalogueRows(), "#Browsers", CatalogueRowModel::CategoryStateRole).toInt(),
        asInt);
    EXPECT_EQ(roleOf(*model->catalogueRows(), "#Browsers", CatalogueRowModel::CategoryCheckedRole)
                  .toBool(),
              asInt == 1);
}

INSTANTIATE_TEST_SUITE_P(
    Browsers, CategoryStateTest,
    ::testing::Values(CategoryStateCase{{}, false}, CategoryStateCase{{"alpha"}, std::nullopt},
                      CategoryStateCase{{"alpha", "gamma"}, true},
                      // selected although MacPorts cannot install it: counts as selected
                      CategoryStateCase{{"alpha", "gamma", "beta"}, true},
                      CategoryStateCase{{"beta"}, std::nullopt},
                      CategoryStateCase{{"gamma", "beta"}, std::nullopt}));

TEST_F(ViewModelTest, CategoryStateCountsOnlyWhatTheSearchShows) {
    auto model = makeModel();
    model->toggle(QStringLiteral("alpha"));
    EXPECT_EQ(model->categorySelectionState(std::string("Browsers")), std::nullopt);
    model->setSearchText(QStringLiteral("alpha"));
    EXPECT_EQ(model->categorySelectionState(std::string("Browsers")), true);
    model->setSearchText(QStringLiteral("no such thing"));
    EXPECT_EQ(model->categorySelectionState(std::string("Browsers")), false);
}

TEST_F(ViewModelTest, SwitchingTheManagerChangesDerivedValuesButNotTheSelection) {
    auto model = makeModel(bothManagers);
    model->toggle(QStringLiteral("alpha"));
    model->toggle(QStringLiteral("beta"));
    EXPECT_TRUE(model->canInstall());
    EXPECT_THAT(model->unsupportedSelection(), IsEmpty());
    EXPECT_EQ(model->categorySelectionState(std::string("Browsers")), std::nullopt);
    EXPECT_EQ(model->managerStatusText(), QStringLiteral("brew: /opt/fake/bin/brew"));

    QSignalSpy selection(model.get(), &CairnmoorViewModel::selectedIdsChanged);
    QSignalSpy derived(model.get(), &CairnmoorViewModel::derivedChanged);
    QSignalSpy rowState(model->catalogueRows(), &QAbstractItemModel::dataChanged);
    model->setPackageManagerName(QStringLiteral("macports"));

    EXPECT_EQ(selection.count(), 0);
    EXPECT_GE(derived.count(), 1);
    EXPECT_GE(rowState.count(), 1);
    EXPECT_THAT(selected(*model), ElementsAre("alpha", "beta"));
    EXPECT_THAT(ids(model->unsupportedSelection()), ElementsAre("beta"));
    EXPECT_FALSE(model->canInstall());
    EXPECT_FALSE(model->canExportScript());
    EXPECT_FALSE(model->canExportBrewfile());
    EXPECT_EQ(model->categorySelectionState(std::string("Browsers")),
              std::nullopt); // beta counts, gamma not
    EXPECT_EQ(model->managerStatusText(), QStringLiteral("port: /opt/local/bin/port"));
    EXPECT_EQ(model->unsupportedWarningText(),
              QStringLiteral("1 selected apps have no MacPorts mapping. Deselect them or switch "
                             "manager; they will not be silently omitted."));
    EXPECT_EQ(model->installButtonText(), QStringLiteral("Install in Terminal..."));

    // Per-row texts follow the manager: gamma's cask name under Homebrew, its port
    // under MacPorts; an unselected entry without a port cannot be ticked.
    CatalogueRowModel& rows = *model->catalogueRows();
    EXPECT_EQ(roleOf(rows, "gamma", CatalogueRowModel::PackageTextRole).toString(),
              QStringLiteral("gamma"));
    EXPECT_EQ(roleOf(rows, "echo", CatalogueRowModel::PackageTextRole).toString(),
              QStringLiteral("Not available via MacPorts"));
    EXPECT_EQ(roleOf(rows, "echo", CatalogueRowModel::HelpTextRole).toString(),
              QStringLiteral("No verified MacPorts mapping"));
    EXPECT_FALSE(roleOf(rows, "echo", CatalogueRowModel::CheckEnabledRole).toBool());
    EXPECT_TRUE(roleOf(rows, "beta", CatalogueRowModel::CheckEnabledRole).toBool()); // selected
    model->setPackageManagerIndex(0);
    EXPECT_EQ(roleOf(rows, "gamma", CatalogueRowModel::PackageTextRole).toString(),
              QStringLiteral("gamma-browser"));
    EXPECT_EQ(roleOf(rows, "echo", CatalogueRowModel::HelpTextRole).toString(),
              QStringLiteral("Select Echo"));
    EXPECT_TRUE(model->canInstall());
}

TEST_F(ViewModelTest, CanInstallNeedsSelectionSupportAndALocatedManager) {
    auto noManager = makeModel();
    noManager->toggle(QStringLiteral("alpha"));
    EXPECT_FALSE(noManager->canInstall());
    EXPECT_EQ(noManager->managerStatusText(), QStringLiteral("Homebrew not found"));
    noManager->setPackageManagerName(QStringLiteral("macports"));
    EXPECT_EQ(noManager->managerStatusText(), QStringLiteral("MacPorts missing or not trusted"));

    auto model = makeModel(bothManagers);
    EXPECT_FALSE(model->canInstall());     // nothing selected
    model->toggle(QStringLiteral("golf")); // not in a shown category, but installable
    EXPECT_TRUE(model->canInstall());
    model->setSelectedIds({"no-such-id"}); // ignored by selectedApps
    EXPECT_THAT(model->selectedApps(), IsEmpty());
    EXPECT_FALSE(model->canInstall());
}

TEST_F(ViewModelTest, SelectRecommendedAddsInstallableRecommendedEntriesOnly) {
    auto model = makeModel();
    model->toggle(QStringLiteral("foxtrot"));
    model->setSearchText(QStringLiteral("foxtrot")); // the search does not apply
    model->selectRecommended();
    // beta is marked false, gamma unmarked, hotel has no macOS record.
    EXPECT_THAT(selected(*model), ElementsAre("alpha", "delta", "echo", "foxtrot", "golf"));

    model->clearSelection();
    useManager(*model, PackageManager::macports);
    model->selectRecommended();
    EXPECT_THAT(selected(*model), ElementsAre("alpha", "delta", "golf")); // echo has no port
    EXPECT_EQ(model->searchText(), QStringLiteral("foxtrot"));            // Clear leaves the search
}

TEST_F(ViewModelTest, LoadingAProfileReplacesSelectionAndOptions) {
    auto model = makeModel();
    model->toggle(QStringLiteral("foxtrot"));
    Profile profile;
    profile.apps = {"gamma", "alpha", "gamma"};
    profile.options.packageManager = PackageManager::macports;
    profile.options.writeLog = false;
    profile.options.timeoutSeconds = 42;
    model->loadProfile(profile);
    EXPECT_THAT(selected(*model), ElementsAre("alpha", "gamma"));
    EXPECT_EQ(model->options(), profile.options);
    EXPECT_EQ(model->timeoutSeconds(), 42);
    EXPECT_FALSE(model->writeLog());
}

TEST_F(ViewModelTest, AProfileNamingUnknownEntriesChangesNothing) {
    auto model = makeModel();
    model->toggle(QStringLiteral("foxtrot"));
    const InstallOptions before = model->options();
    Profile profile;
    // hotel is in the catalogue but has no macOS record; zulu is listed twice.
    profile.apps = {"zulu", "alpha", "hotel", "zulu"};
    profile.options.runUpdateFirst = true;
    try {
        model->loadProfile(profile);
        FAIL() << "expected a PackageManagerError";
    } catch (const PackageManagerError& error) {
        EXPECT_EQ(error.kind(), PackageManagerError::Kind::invalidSelection);
        EXPECT_STREQ(error.what(), "Unknown or non-macOS catalogue IDs: hotel, zulu.");
    }
    EXPECT_THAT(selected(*model), ElementsAre("foxtrot"));
    EXPECT_EQ(model->options(), before);
}

TEST_F(ViewModelTest, ProfileFilesLoadThroughTheViewWrapper) {
    auto model = makeModel();
    Profile profile;
    profile.apps = {"delta"};
    const auto good = home_ / "good.cmprofile";
    profile.write(good);
    EXPECT_EQ(model->loadProfileFile(
                  QUrl::fromLocalFile(QString::fromStdString(good.string())).toString()),
              QString());
    EXPECT_THAT(selected(*model), ElementsAre("delta"));

    const auto bad = home_.write("bad.cmprofile", R"({"schema": 2})");
    EXPECT_EQ(model->loadProfileFile(QString::fromStdString(bad.string())),
              QStringLiteral("The data couldn’t be read because it isn’t in the correct format."));
    EXPECT_FALSE(
        model->loadProfileFile(QString::fromStdString((home_ / "missing").string())).isEmpty());
    EXPECT_THAT(selected(*model), ElementsAre("delta"));
}

TEST_F(ViewModelTest, CurrentProfileListsTheSelectionInCatalogueOrder) {
    auto model = makeModel();
    model->setSelectedIds({"foxtrot", "alpha", "unknown"});
    model->setTimeoutSeconds(30);
    const Profile profile = model->currentProfile();
    EXPECT_EQ(profile.schema, 2);
    EXPECT_THAT(profile.apps, ElementsAre("alpha", "foxtrot"));
    EXPECT_EQ(profile.options.timeoutSeconds, 30);
    EXPECT_TRUE(
        std::regex_match(profile.created, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)")));
}

TEST_F(ViewModelTest, RefusesToStartWithoutChangingAnythingButTheError) {
    const std::string refusal =
        "Choose supported apps and an installed manager. MacPorts installs must be started "
        "in Terminal.";
    auto model = makeModel(bothManagers);
    QSignalSpy running(model.get(), &CairnmoorViewModel::isRunningChanged);

    EXPECT_FALSE(model->startInstall()); // nothing selected
    EXPECT_EQ(model->loadError(), refusal);

    // MacPorts chosen, located, everything selected installable: still refused.
    model->toggle(QStringLiteral("alpha"));
    model->setPackageManagerName(QStringLiteral("macports"));
    ASSERT_TRUE(model->canInstall());
    EXPECT_FALSE(model->startInstall());
    EXPECT_EQ(model->loadErrorText(), QString::fromStdString(refusal));

    auto noBrew = makeModel();
    noBrew->toggle(QStringLiteral("alpha"));
    EXPECT_FALSE(noBrew->startInstall());
    EXPECT_EQ(noBrew->loadError(), refusal);

    EXPECT_EQ(running.count(), 0);
    EXPECT_FALSE(model->isRunning());
    EXPECT_THAT(model->runRows(), IsEmpty());
    EXPECT_FALSE(model->engine());
    model->cancelRun(); // no engine: nothing happens
}

struct TimeoutCase {
    const char* text;
    std::int64_t expected;
};

class TimeoutTextTest : public ViewModelTest, public ::testing::WithParamInterface<TimeoutCase> {};

TEST_P(TimeoutTextTest, AppliesOnlyWholeNumbersOfAtLeastOne) {
    auto model = makeModel();
    model->setTimeoutSeconds(120);
    const bool applied = model->applyTimeoutText(QString::fromUtf8(GetParam().text));
    EXPECT_EQ(model->timeoutSeconds(), GetParam().expected);
    EXPECT_EQ(applied, GetParam().expected != 120);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TimeoutTextTest,
    ::testing::Values(TimeoutCase{"", 120}, TimeoutCase{"0", 120}, TimeoutCase{"-5", 120},
                      TimeoutCase{"+30", 30}, TimeoutCase{"45", 45}, TimeoutCase{"12a", 120},
                      TimeoutCase{" 12", 120}, TimeoutCase{"12 ", 120}, TimeoutCase{"+", 120},
                      TimeoutCase{"9223372036854775807", 9223372036854775807},
                      TimeoutCase{"9223372036854775808", 120},
                      TimeoutCase{"-9223372036854775808", 120}, TimeoutCase{"１２", 120}));

TEST_F(ViewModelTest, OptionPropertiesWriteThroughToTheOptions) {
    auto model = makeModel();
    EXPECT_EQ(model->options(), InstallOptions{});
    QSignalSpy changes(model.get(), &CairnmoorViewModel::optionsChanged);
    model->setSkipInstalled(false);
    model->setUpgradeIfPresent(false);
    model->setRunUpdateFirst(true);
    model->setWriteLog(false);
    model->setTimeoutSeconds(0);                              // ignored
    model->setPackageManagerName(QStringLiteral("Homebrew")); // not a raw value: ignored
    EXPECT_EQ(changes.count(), 4);
    InstallOptions expected;
    expected.skipInstalled = false;
    expected.upgradeIfPresent = false;
    expected.runUpdateFirst = true;
    expected.writeLog = false;
    EXPECT_EQ(model->options(), expected);
}

// The model keeps derived values between changes. After every kind of change, each of
// them, already read before it, must equal what the catalogue, search, selection and
// manager give when worked out afresh.
void expectFresh(CairnmoorViewModel& model, const std::string& step) {
    SCOPED_TRACE(step);
    const std::vector<AppEntry> shown =
        CatalogSearch::filter(model.catalog().macApps(), model.searchText().toStdString());
    const PackageManager manager = model.options().packageManager;
    std::vector<std::string> selectedIds;
    std::vector<std::string> unsupported;
    for (const AppEntry& app : model.catalog().macApps()) {
        if (model.selectedIds().contains(app.id)) {
            selectedIds.push_back(app.id);
            if (!manager.token(app)) {
                unsupported.push_back(app.id);
            }
        }
    }
    EXPECT_EQ(ids(model.filteredApps()), ids(shown));
    EXPECT_EQ(ids(model.selectedApps()), selectedIds);
    EXPECT_EQ(ids(model.unsupportedSelection()), unsupported);
    EXPECT_EQ(model.unsupportedCount(), static_cast<int>(unsupported.size()));
    EXPECT_EQ(model.canExportScript(), !selectedIds.empty() && unsupported.empty());

    std::vector<std::string> rows;
    for (const std::string& category : model.categories()) {
        rows.push_back("#" + category);
        std::vector<std::string> inCategory;
        std::size_t eligible = 0;
        std::size_t chosen = 0;
        for (const AppEntry& app : shown) {
            if (app.category != category) {
                continue;
            }
            inCategory.push_back(app.id);
            const bool isChosen = model.selectedIds().contains(app.id);
            eligible += manager.token(app) || isChosen ? 1 : 0;
            chosen += isChosen ? 1 : 0;
        }
        rows.insert(rows.end(), inCategory.begin(), inCategory.end());
        EXPECT_EQ(ids(model.apps(category)), inCategory) << category;
        const int state = chosen == 0 ? 0 : (chosen == eligible ? 1 : -1);
        EXPECT_EQ(model.categorySelectionState(QString::fromStdString(category)), state)
            << category;
        EXPECT_EQ(
            roleOf(*model.catalogueRows(), "#" + category, CatalogueRowModel::CategoryStateRole)
                .toInt(),
            state)
            << category;
    }
    EXPECT_EQ(shownRows(*model.catalogueRows()), rows);
}

TEST_F(ViewModelTest, DerivedValuesFollowEveryChangeAfterBeingRead) {
    auto model = makeModel(bothManagers);
    expectFresh(*model, "start");
    model->toggle(QStringLiteral("beta"));
    expectFresh(*model, "toggle");
    model->setSearchText(QStringLiteral("a"));
    expectFresh(*model, "search");
    model->setCategory(QStringLiteral("Browsers"), true);
    expectFresh(*model, "category under a search");
    useManager(*model, PackageManager::macports);
    expectFresh(*model, "manager");
    model->setSearchText(QStringLiteral("E"));
    expectFresh(*model, "another search");
    model->setCategory(QStringLiteral("Developer"), true);
    expectFresh(*model, "category with an unsupported entry");
    model->selectRecommended();
    expectFresh(*model, "recommended");
    Profile profile;
    profile.apps = {"echo", "gamma"};
    model->loadProfile(profile); // back to Homebrew with the profile's options
    expectFresh(*model, "profile");
    model->setSearchText(QString());
    expectFresh(*model, "search cleared");
    model->setCategory(QStringLiteral("Browsers"), false);
    expectFresh(*model, "category off");
    model->clearSelection();
    expectFresh(*model, "selection cleared");
}

TEST_F(ViewModelTest, LocatesHomebrewOnThePathAgainWhenAskedTo) {
    TempDir bin;
    std::filesystem::create_symlink(std::filesystem::path(CAIRNMOOR_FAKES_DIR) / "brew",
                                    bin / "brew");
    ScopedEnv path("PATH", "/nonexistent-folder");
    CairnmoorViewModel model;
    if (model.managerPaths().contains(PackageManager::homebrew)) {
        GTEST_SKIP() << "a real Homebrew is installed at a fixed location";
    }
    ::setenv("PATH", (bin.path().string() + ":/usr/bin:/bin").c_str(), 1);
    QSignalSpy changes(&model, &CairnmoorViewModel::managerPathsChanged);
    model.refreshManagers();
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(model.managerPath(), (bin / "brew").string());
}

} // namespace
} // namespace cairnmoor::testing
