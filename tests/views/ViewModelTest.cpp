// The window model, driven as the views drive it: selection, categories, search,
// managers, profiles, the time-out text and a replacement catalogue passed over; then
// in-window Homebrew runs against the fake brew: rows and their plan, progress, the log
// and its file, cancelling, a flood of output, the model going away mid-run, the question
// before replacing apps, and the installed marks.
#include "ViewsTest.hpp"
#include "catalogue/CatalogLoader.hpp"
#include "managers/PackageManagerError.hpp"

#include <QPointer>
#include <QSignalSpy>

#include <algorithm>
#include <iterator>

namespace cairnmoor::testing {
namespace {

Lines selected(const CairnmoorViewModel& model) {
    return {model.selectedIds().begin(), model.selectedIds().end()};
}

// Browsers under MacPorts (alpha and gamma installable, beta not): the header's state,
// and the selection after a click on its box, which selects the installable entries
// unless all are selected, and then deselects every one.
using CategoryCase = std::tuple<Lines, std::optional<bool>, Lines>;

class CategoryTest : public ViewsTest, public ::testing::WithParamInterface<CategoryCase> {};

TEST_P(CategoryTest, CountsAndSelectsTheEligibleEntriesOnly) {
    const auto& [selection, state, afterClick] = GetParam();
    auto model = makeModel();
    model->setPackageManagerName(u"macports"_s);
    model->setSelectedIds({selection.begin(), selection.end()});
    EXPECT_EQ(model->categorySelectionState(std::string("Browsers")), state);
    // A mixed category shows an unchecked header.
    EXPECT_EQ(role(*model->catalogueRows(), "Browsers", CatalogueRowModel::CategoryCheckedRole,
                   CatalogueRowModel::CategoryRole),
              state == true);
    model->setCategory(u"Browsers"_s, state != true);
    EXPECT_EQ(selected(*model), afterClick);
}

INSTANTIATE_TEST_SUITE_P(
    Browsers, CategoryTest,
    ::testing::Values(CategoryCase{Lines{}, false, Lines{"alpha", "gamma"}},
                      CategoryCase{Lines{"alpha"}, std::nullopt, Lines{"alpha", "gamma"}},
                      CategoryCase{Lines{"alpha", "gamma"}, true, Lines{}},
                      // selected although MacPorts cannot install it: counts as selected
                      CategoryCase{Lines{"alpha", "beta", "gamma"}, true, Lines{}},
                      CategoryCase{Lines{"beta"}, std::nullopt, Lines{"alpha", "beta", "gamma"}}));

TEST_F(ViewsTest, SwitchingTheManagerChangesWhatDependsOnItButNotTheSelection) {
    auto model =
        makeModel({{PackageManager::homebrew, "/b/brew"}, {PackageManager::macports, "/p/port"}});
    model->setSelectedIds({"alpha", "beta"});
    EXPECT_TRUE(model->canInstall());
    QSignalSpy selection(model.get(), &CairnmoorViewModel::selectedIdsChanged);
    model->setPackageManagerName(u"macports"_s);
    EXPECT_EQ(selection.count(), 0);
    EXPECT_FALSE(model->canInstall());
    EXPECT_EQ(model->categorySelectionState(std::string("Browsers")), std::nullopt);
    EXPECT_EQ(model->unsupportedWarningText(), golden("unsupported 1"));
    model->setSelectedIds({"alpha", "beta", "echo"});
    EXPECT_EQ(model->unsupportedWarningText(), golden("unsupported 2"));
    // Rows name the chosen manager's package; one without any cannot be ticked, and says why.
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
}

// A category's box leaves what the search hides as it is, in one change.
TEST_F(ViewsTest, ASearchNotifiesOncePerChangeAndHidesTheCategoriesItEmpties) {
    auto model = makeModel();
    model->setSelectedIds({"beta"});
    QSignalSpy search(model.get(), &CairnmoorViewModel::searchTextChanged);
    QSignalSpy selection(model.get(), &CairnmoorViewModel::selectedIdsChanged);
    for (const char* text : {"ECHO", "ECHO", "zzz", "", "", "ECHO"}) {
        model->setSearchText(QString::fromUtf8(text));
    }
    EXPECT_EQ(search.count(), 4);
    EXPECT_EQ(selection.count(), 0);
    // Only the categories with matches keep their header row.
    EXPECT_EQ(role(*model->catalogueRows(), "echo", CatalogueRowModel::CategoryRole),
              u"Developer"_s);
    EXPECT_EQ(model->catalogueRows()->count(), 2);
    model->setSearchText(u"gamma"_s);
    model->setCategory(u"Browsers"_s, true);
    model->setCategory(u"Browsers"_s, false);
    model->setCategory(u"Browsers"_s, true);
    EXPECT_EQ(selection.count(), 3);
    EXPECT_EQ(selected(*model), Lines({"beta", "gamma"}));
}

// Applied whole or not at all; built in catalogue order; every option through the file
// "Save profile" writes, into another window.
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
    EXPECT_EQ(selected(*model), Lines({"foxtrot"}));
    profile.apps = {"gamma", "alpha", "gamma"};
    profile.options.packageManager = PackageManager::macports;
    profile.options.timeoutSeconds = 42;
    model->loadProfile(profile);
    EXPECT_EQ(selected(*model), Lines({"alpha", "gamma"}));
    EXPECT_EQ(model->options(), profile.options);
    model->setSelectedIds({"foxtrot", "alpha", "unknown"});
    model->setExistingAppsIndex(1);
    model->setPrefetch(false);
    const QString file = QString::fromStdString((home_ / "p.cmprofile").string());
    WindowActions(*model).saveProfile(file);
    auto reopened = makeModel();
    EXPECT_EQ(reopened->loadProfileFile(file), QString());
    EXPECT_EQ(selected(*reopened), Lines({"alpha", "foxtrot"}));
    EXPECT_EQ(reopened->existingAppsIndex(), 1);
    EXPECT_FALSE(reopened->prefetch());
    EXPECT_EQ(model->currentProfile().apps, Lines({"alpha", "foxtrot"}));
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

// The user's catalogue that cannot be used is named in the error line; the shipped one serves.
TEST_F(ViewsTest, AReplacementCataloguePassedOverIsExplainedInTheErrorLine) {
    const auto file = home_.write("Library/Application Support/Cairnmoor/catalog.json",
                                  R"({"updated": "2026-12-01", "categories": []})");
    openWindow();
    EXPECT_TRUE(shows("loadErrorText"));
    EXPECT_EQ(item("loadErrorText")->property("text").toString(),
              golden("catalogue passed over").arg(QString::fromStdString(file.string())));
    EXPECT_EQ(model_->catalog(), CatalogLoader::loadEmbedded());
}

TEST_F(ViewsTest, ProgressMovesAtFinalStatesAndTheLogFileHoldsEveryLineShown) {
    tools_.write("state/formulae/delta", "1.0.0\n");
    ::setenv("CAIRNMOOR_FAKE_FAIL", "foxtrot", 1);
    model_ = makeBrewModel();
    model_->setUpgradeIfPresent(false);
    // Each step of the bar with the outcome so far, and never running and finished at once.
    Lines progress;
    QObject::connect(model_.get(), &CairnmoorViewModel::overallProgressChanged, [&] {
        progress.push_back(QString::number(model_->overallProgress(), 'f', 2).toStdString() + " " +
                           model_->runRowModel()->summary().toStdString());
        EXPECT_FALSE(model_->isRunning() && model_->runFinished());
    });
    run({"foxtrot", "delta", "alpha"});
    const std::string all = "1.00 1 installed, 1 already present, 1 failed";
    EXPECT_EQ(progress, (Lines{"0.00 ", "0.33 1 installed", "0.67 1 installed, 1 already present",
                               all, all}));
    // The last lines reach the window too, and the file holds exactly what it shows.
    EXPECT_EQ(readFile(*model_->lastLogURL()), shown());
    EXPECT_EQ(model_->logLines().back(), u"Error: foxtrot: simulated failure"_s);
    model_->setWriteLog(false);
    run({"gamma"});
    EXPECT_FALSE(model_->lastLogURL());
}

// Cancelled while a command hangs (or the model destroyed): it and the rest are skipped,
// nothing after it starts, and the log says so in one line. Hanging in the downloads ahead, before
// any install, the rows show the plan: foxtrot, found outside Homebrew, is left alone.
struct CancelCase {
    const char *knob, *subject;
    Lines selection, textsWhileHanging, installs;
    const char *summary, *lastLine; // none: the model is destroyed instead
};

class CancelTest : public ViewsTest, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(CancelTest, SkipsTheRestAndSaysSoInTheLog) {
    const CancelCase& c = GetParam();
    ::setenv(c.knob, c.subject, 1);
    placeApp("Foxtrot.app");
    run(c.selection, false);
    const auto& log = model_->logLines();
    ASSERT_TRUE(waitFor([&] {
        return !log.empty() && log.back() == u"==> Downloading "_s + QLatin1String(c.subject);
    }));
    Lines texts;
    std::transform(model_->runRows().begin(), model_->runRows().end(), std::back_inserter(texts),
                   [](const RunRow& row) { return row.text(); });
    EXPECT_EQ(texts, c.textsWhileHanging);
    if (c.summary == nullptr) {
        QPointer<QObject> rows(model_->runRowModel());
        model_.reset(); // stops the run, and nothing posted by it touches the model after
        EXPECT_TRUE(rows.isNull());
        QCoreApplication::processEvents();
        EXPECT_EQ(calls(), c.installs);
        return;
    }
    model_->cancelRun();
    finish();
    EXPECT_EQ(model_->runRowModel()->summary().toStdString(), c.summary);
    EXPECT_EQ(model_->logLines().back().toStdString(), c.lastLine);
    EXPECT_EQ(readFile(*model_->lastLogURL()), shown());
    EXPECT_EQ(calls(), c.installs);
}

INSTANTIATE_TEST_SUITE_P(
    Fakes, CancelTest,
    ::testing::Values(CancelCase{"CAIRNMOOR_FAKE_HANG", "@fetch",
                                 Lines{"alpha", "delta", "foxtrot"},
                                 Lines{"Downloading", "Will install", "Installed outside Homebrew"},
                                 Lines{}, "3 skipped", "Run cancelled: 3 packages were skipped."},
                      CancelCase{"CAIRNMOOR_FAKE_IGNORE_TERM", "delta", Lines{"alpha", "delta"},
                                 Lines{"Installed", "Installing"},
                                 Lines{"brew install --cask alpha", "brew install delta"},
                                 "1 installed, 1 skipped", "Run cancelled: 1 package was skipped."},
                      CancelCase{"CAIRNMOOR_FAKE_HANG", "alpha", Lines{"alpha", "gamma"},
                                 Lines{"Installing", "Will install"},
                                 Lines{"brew install --cask alpha"}, nullptr, nullptr}));

TEST_F(ViewsTest, AFloodOfLinesArrivesWholeInOrderAndInBatches) {
    ::setenv("CAIRNMOOR_FAKE_FLOOD", "alpha:20000", 1);
    ::setenv("CAIRNMOOR_FAKE_INVALID_UTF8", "alpha", 1);
    model_ = makeBrewModel();
    QSignalSpy inserts(model_->logLineModel(), &QAbstractItemModel::rowsInserted);
    run({"alpha"});
    // After the survey and the fetch ahead, the install's own lines; the one that is not
    // UTF-8 is shown with its bytes replaced, in its place.
    std::vector<QString> install{u"$ brew install --cask alpha"_s};
    for (int i = 1; i <= 20000; ++i) {
        install.push_back(u"==> Unpacking alpha part %1/20000"_s.arg(i));
    }
    install.insert(install.end(),
                   {u"==> alpha: before"_s, u"\uFFFD\uFFFD not text"_s, u"==> alpha: after"_s});
    const auto& lines = model_->logLines();
    EXPECT_NE(std::search(lines.begin(), lines.end(), install.begin(), install.end()), lines.end());
    EXPECT_EQ(readFile(*model_->lastLogURL()), shown());
    EXPECT_LT(inserts.count(), 2000);
}

// The question names the apps that would be replaced; one found only after it was
// answered stops the run before anything changes.
TEST_F(ViewsTest, ReplacingAsksFirstAndReplacesNothingUnasked) {
    const auto alpha = placeApp("Alpha.app");
    model_ = makeBrewModel();
    model_->setExistingAppsIndex(2);
    ReplaceConfirmation& confirmation = *model_->replaceConfirmation();
    const auto ask = [&] {
        run({"alpha", "delta", "echo"}, false);
        EXPECT_TRUE(confirmation.checking() && !model_->canInstall());
        EXPECT_TRUE(waitFor([&] { return !confirmation.question().isEmpty(); }));
    };
    ask();
    EXPECT_EQ(confirmation.question(),
              golden("replace one").arg(QString::fromStdString(alpha.string())));
    const auto echo = placeApp("Echo.app");
    confirmation.accept();
    finish();
    EXPECT_NE(shown().find(golden("replace unasked").toStdString()), std::string::npos);
    ask();
    EXPECT_EQ(confirmation.question(), golden("replace two")
                                           .arg(QString::fromStdString(alpha.string()),
                                                QString::fromStdString(echo.string())));
    confirmation.accept();
    finish();
    EXPECT_EQ(calls(), (Lines{"brew install --cask --force alpha", "brew install delta",
                              "brew install --cask --force echo"}));
}

// Marks come from an inventory off the UI thread: at start, after a run, per manager.
TEST_F(ViewsTest, InstalledMarksFollowTheMacRunsAndTheManager) {
    tools_.write("state/casks/alpha", "");
    const auto gamma = placeApp("Gamma-browser.app");
    model_ = makeBrewModel();
    EXPECT_FALSE(model_->installedMarks()->known());
    ASSERT_TRUE(waitFor([&] { return model_->installedMarks()->known(); }));
    const auto mark = [&](const char* id, int which = CatalogueRowModel::InstalledTextRole) {
        return role(*model_->catalogueRows(), id, which).toString().toStdString();
    };
    EXPECT_EQ(mark("alpha", CatalogueRowModel::InstalledHelpRole), "Installed with Homebrew");
    EXPECT_EQ(mark("gamma"), "Installed outside Homebrew");
    EXPECT_EQ(mark("gamma", CatalogueRowModel::InstalledHelpRole),
              "Found at " + gamma.string() + "; Homebrew did not install it");
    EXPECT_EQ(mark("foxtrot"), "");
    run({"foxtrot", "gamma"});
    EXPECT_EQ(model_->runRowModel()->summary(), u"1 installed, 1 installed outside Homebrew"_s);
    EXPECT_TRUE(waitFor([&] { return mark("foxtrot") == "Installed"; }));
    model_->setPackageManagerIndex(1); // MacPorts, not found here: nothing is known
    EXPECT_EQ(mark("alpha"), "");
}

} // namespace
} // namespace cairnmoor::testing
