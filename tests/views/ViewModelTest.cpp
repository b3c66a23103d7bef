// The window model without a run: selection, categories, search, managers, profiles and
// the time-out text, driven as the views drive it.
#include "ViewsTest.hpp"
#include "managers/PackageManagerError.hpp"

#include <QSignalSpy>
#include <gmock/gmock.h>

namespace cairnmoor::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Ids = std::vector<std::string>;

Ids selected(const CairnmoorViewModel& model) {
    return {model.selectedIds().begin(), model.selectedIds().end()};
}

// A role of the first row of the list for this entry (or, by name, this category's header).
QVariant role(CatalogueRowModel& list, const char* id, int role,
              int key = CatalogueRowModel::AppIdRole) {
    return list.data(list.match(list.index(0), key, QString::fromUtf8(id)).value(0), role);
}

// Browsers under MacPorts: alpha and gamma installable, beta not.
using CategoryCase = std::pair<Ids, std::optional<bool>>;

class CategoryStateTest : public ViewsTest, public ::testing::WithParamInterface<CategoryCase> {};

TEST_P(CategoryStateTest, CountsTheEligibleEntriesOnly) {
    auto model = makeModel();
    model->setPackageManagerName(u"macports"_s);
    model->setSelectedIds({GetParam().first.begin(), GetParam().first.end()});
    EXPECT_EQ(model->categorySelectionState(std::string("Browsers")), GetParam().second);
    // A mixed category shows an unchecked header.
    EXPECT_EQ(role(*model->catalogueRows(), "Browsers", CatalogueRowModel::CategoryCheckedRole,
                   CatalogueRowModel::CategoryRole),
              GetParam().second == true);
}

INSTANTIATE_TEST_SUITE_P(
    Browsers, CategoryStateTest,
    ::testing::Values(CategoryCase{{}, false}, CategoryCase{{"alpha"}, std::nullopt},
                      CategoryCase{{"alpha", "gamma"}, true},
                      // selected although MacPorts cannot install it: counts as selected
                      CategoryCase{{"alpha", "beta", "gamma"}, true},
                      CategoryCase{{"beta"}, std::nullopt}));

TEST_F(ViewsTest, SelectingACategoryTouchesOnlyVisibleInstallableEntriesInOneChange) {
    auto model = makeModel();
    model->setSelectedIds({"beta"});
    model->setSearchText(u"gamma"_s);
    QSignalSpy changes(model.get(), &CairnmoorViewModel::selectedIdsChanged);
    model->setCategory(u"Browsers"_s, true);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_THAT(selected(*model), ElementsAre("beta", "gamma"));
    model->setCategory(u"Browsers"_s, false); // beta is hidden: it stays
    EXPECT_THAT(selected(*model), ElementsAre("beta"));

    model->setSearchText(QString());
    model->setPackageManagerName(u"macports"_s);
    model->setSelectedIds({});
    model->setCategory(u"Browsers"_s, true); // beta has no port
    EXPECT_THAT(selected(*model), ElementsAre("alpha", "gamma"));
    model->setSelectedIds({"beta"});
    model->setCategory(u"Browsers"_s, false); // but is deselected with the rest
    EXPECT_THAT(model->selectedIds(), IsEmpty());
}

TEST_F(ViewsTest, SwitchingTheManagerChangesWhatDependsOnItButNotTheSelection) {
    auto model =
        makeModel({{PackageManager::homebrew, "/b/brew"}, {PackageManager::macports, "/p/port"}});
    model->setSelectedIds({"alpha", "beta"});
    EXPECT_TRUE(model->canInstall());
    QSignalSpy selection(model.get(), &CairnmoorViewModel::selectedIdsChanged);
    model->setPackageManagerName(u"macports"_s);
    EXPECT_EQ(selection.count(), 0);
    EXPECT_FALSE(model->canInstall());
    EXPECT_FALSE(model->canExportScript());
    EXPECT_EQ(model->categorySelectionState(std::string("Browsers")), std::nullopt);
    EXPECT_EQ(model->unsupportedWarningText(), golden("unsupported 1"));
    model->setSelectedIds({"alpha", "beta", "echo"});
    EXPECT_EQ(model->unsupportedWarningText(), golden("unsupported 2"));
    // Rows name the package of the chosen manager; an unselected entry without one
    // cannot be ticked, and its help says why.
    model->setSelectedIds({"alpha"});
    CatalogueRowModel& list = *model->catalogueRows();
    EXPECT_EQ(role(list, "gamma", CatalogueRowModel::PackageTextRole), u"gamma"_s);
    EXPECT_FALSE(role(list, "echo", CatalogueRowModel::CheckEnabledRole).toBool());
    EXPECT_EQ(role(list, "echo", CatalogueRowModel::HelpTextRole),
              u"No verified MacPorts mapping"_s);
    // Everything is ready, but MacPorts runs in Terminal only: the window refuses.
    ASSERT_TRUE(model->canInstall());
    EXPECT_FALSE(model->startInstall());
    EXPECT_EQ(model->loadErrorText(), golden("refusal"));
    EXPECT_FALSE(model->engine());
    model->setPackageManagerIndex(0);
    EXPECT_EQ(role(list, "gamma", CatalogueRowModel::PackageTextRole), u"gamma-browser"_s);
}

TEST_F(ViewsTest, ASearchNotifiesOncePerChangeAndHidesTheCategoriesItEmpties) {
    auto model = makeModel();
    model->setSelectedIds({"alpha"});
    QSignalSpy search(model.get(), &CairnmoorViewModel::searchTextChanged);
    QSignalSpy selection(model.get(), &CairnmoorViewModel::selectedIdsChanged);
    for (const char* text : {"ECHO", "ECHO", "zzz", "", ""}) {
        model->setSearchText(QString::fromUtf8(text));
    }
    EXPECT_EQ(search.count(), 3);
    EXPECT_EQ(selection.count(), 0);
    // Only the categories with matches keep their header row.
    model->setSearchText(u"ECHO"_s);
    EXPECT_EQ(role(*model->catalogueRows(), "echo", CatalogueRowModel::CategoryRole),
              u"Developer"_s);
    EXPECT_EQ(model->catalogueRows()->count(), 2);
    model->setSearchText(u"zzz"_s);
    EXPECT_EQ(model->catalogueRows()->count(), 0);
}

TEST_F(ViewsTest, AProfileReplacesSelectionAndOptionsOrChangesNothing) {
    auto model = makeModel();
    model->setSelectedIds({"foxtrot"});
    Profile profile;
    profile.apps = {"zulu", "alpha", "hotel", "zulu"}; // hotel has no macOS record
    try {
        model->loadProfile(profile);
        ADD_FAILURE() << "an unknown id was accepted";
    } catch (const PackageManagerError& error) {
        EXPECT_STREQ(error.what(), "Unknown or non-macOS catalogue IDs: hotel, zulu.");
    }
    EXPECT_THAT(selected(*model), ElementsAre("foxtrot"));

    profile.apps = {"gamma", "alpha", "gamma"};
    profile.options.packageManager = PackageManager::macports;
    profile.options.timeoutSeconds = 42;
    model->loadProfile(profile);
    EXPECT_THAT(selected(*model), ElementsAre("alpha", "gamma"));
    EXPECT_EQ(model->options(), profile.options);
    model->setSelectedIds({"foxtrot", "alpha", "unknown"});
    const Profile built = model->currentProfile();
    EXPECT_THAT(built.apps, ElementsAre("alpha", "foxtrot")); // catalogue order
    EXPECT_EQ(built.options, profile.options);
    EXPECT_EQ(built.schema, 2);
}

class TimeoutTextTest : public ViewsTest,
                        public ::testing::WithParamInterface<std::pair<const char*, qint64>> {};

TEST_P(TimeoutTextTest, TakesOnlyAWholeNumberOfAtLeastOne) {
    auto model = makeModel();
    model->setTimeoutSeconds(120);
    EXPECT_EQ(model->applyTimeoutText(QString::fromUtf8(GetParam().first)),
              GetParam().second != 120);
    EXPECT_EQ(model->timeoutSeconds(), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TimeoutTextTest,
    ::testing::Values(std::pair{"", 120}, std::pair{"0", 120}, std::pair{"-5", 120},
                      std::pair{"+30", 30}, std::pair{"12a", 120}, std::pair{" 12", 120},
                      std::pair{"+", 120}, std::pair{"9223372036854775807", INT64_MAX},
                      std::pair{"9223372036854775808", 120}, std::pair{"１２", 120}));

} // namespace
} // namespace cairnmoor::testing
