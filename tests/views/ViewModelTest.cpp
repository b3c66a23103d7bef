// The window model, driven as the views drive it: selection, categories, search,
// managers, profiles, the time-out text and a replacement catalogue passed over; then
// in-window Homebrew runs against the fake brew: rows and their plan, progress, the log
// and its file, cancelling, a flood of output, the model going away mid-run, the question
// before replacing apps, and the installed marks.
#include "ViewsTest.hpp"
#include "catalogue/CatalogLoader.hpp"
#include "support/OpenApp.hpp"

#include <QSignalSpy>

#include <algorithm>
#include <chrono>

namespace cairnmoor::testing {
namespace {

// Browsers under MacPorts (alpha and gamma installable, beta not): the header's state,
// and the selection after a click on its box, which selects the installable entries
// unless all are selected, and then deselects every one.
using CategoryCase = std::tuple<Lines, std::optional<bool>, Lines>;
class CategoryTest : public ViewsTest, public ::testing::WithParamInterface<CategoryCase> {};

TEST_P(CategoryTest, CountsAndSelectsTheEligibleEntriesOnly) {
    const auto& [selection, state, afterClick] = GetParam();
    options().setPackageManagerIndex(1);
    model_->setSelectedIds({selection.begin(), selection.end()});
    EXPECT_EQ(model_->categorySelectionState(std::string("Browsers")), state);
    // A mixed category shows an unchecked header.
    EXPECT_EQ(role("Browsers", Row::CategoryCheckedRole, Row::CategoryRole), state == true);
    model_->setCategory(u"Browsers"_s, state != true);
    EXPECT_EQ(selected(), afterClick);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Browsers, CategoryTest, ::testing::Values(
    CategoryCase{{}, false, {"alpha", "gamma"}},
    CategoryCase{{"alpha"}, std::nullopt, {"alpha", "gamma"}},
    CategoryCase{{"alpha", "gamma"}, true, {}},
    CategoryCase{{"alpha", "beta", "gamma"}, true, {}}, // beta: ticked, so it counts
    CategoryCase{{"beta"}, std::nullopt, {"alpha", "beta", "gamma"}}));
// clang-format on

TEST_F(ViewsTest, SwitchingTheManagerChangesWhatDependsOnItButNotTheSelection) {
    model_->setSelectedIds({"alpha", "gamma", "echo"});
    // Read under Homebrew first: a value kept from before the switch would show below.
    EXPECT_TRUE(model_->canInstall());
    QSignalSpy selection(model_.get(), &CairnmoorViewModel::selectedIdsChanged);
    options().setPackageManagerIndex(1);
    EXPECT_EQ(selection.count(), 0);
    EXPECT_FALSE(model_->canInstall());
    EXPECT_EQ(model_->unsupportedWarningText(), golden("unsupported 1"));
    model_->setSelectedIds({"alpha", "beta", "echo"});
    EXPECT_EQ(model_->unsupportedWarningText(), golden("unsupported 2"));
    // Rows name the chosen manager's package; one without any cannot be ticked, and says why.
    model_->setSelectedIds({"alpha"});
    EXPECT_EQ(role("gamma", Row::PackageTextRole), u"gamma"_s);
    EXPECT_FALSE(role("echo", Row::CheckEnabledRole).toBool());
    EXPECT_EQ(role("echo", Row::HelpTextRole), u"No verified MacPorts mapping"_s);
    // Everything is ready, but MacPorts runs in Terminal only: the window refuses.
    ASSERT_TRUE(model_->canInstall());
    EXPECT_FALSE(model_->startInstall());
    EXPECT_EQ(model_->loadErrorText(), golden("refusal"));
}

TEST_F(ViewsTest, ASearchNotifiesOncePerChangeAndHidesTheCategoriesItEmpties) {
    model_->setSelectedIds({"beta"});
    QSignalSpy search(model_.get(), &CairnmoorViewModel::searchTextChanged);
    QSignalSpy selection(model_.get(), &CairnmoorViewModel::selectedIdsChanged);
    for (const char* text : {"ECHO", "ECHO", "zzz", "", "", "ECHO"}) {
        model_->setSearchText(QString::fromUtf8(text));
    }
    EXPECT_EQ(search.count(), 4);
    EXPECT_EQ(selection.count(), 0);
    // Only the categories with matches keep their header row.
    EXPECT_EQ(role("echo", Row::CategoryRole), u"Developer"_s);
    EXPECT_EQ(model_->catalogueRows()->count(), 2);
    // A category's box leaves what the search hides as it is, in one change.
    model_->setSearchText(u"gamma"_s);
    model_->setCategory(u"Browsers"_s, true);
    model_->setCategory(u"Browsers"_s, false);
    model_->setCategory(u"Browsers"_s, true);
    EXPECT_EQ(selection.count(), 3);
    EXPECT_EQ(selected(), Lines({"beta", "gamma"}));
}

// A profile built from the window's selection (unknown entries left out) with every
// option, saved through "Save profile", opens in another window as it was. (One the
// catalogue lacks entries for is refused whole: AProfileThatCannotBeOpenedIsNamed...)
TEST_F(ViewsTest, AProfileIsSavedWithEveryOption) {
    const QString file = QString::fromStdString((home_ / "p.cmprofile").string());
    model_->setSelectedIds({"foxtrot", "alpha", "unknown"});
    options().setExistingAppsIndex(1);
    options().setPrefetch(false);
    WindowActions(*model_).saveProfile(file);
    model_ = makeModel();
    EXPECT_EQ(model_->loadProfileFile(file), QString());
    EXPECT_EQ(selected(), Lines({"alpha", "foxtrot"}));
    EXPECT_EQ(options().existingAppsIndex(), 1);
    EXPECT_FALSE(options().prefetch());
}

// The user's catalogue that cannot be used is named in the error line; the shipped one serves.
TEST_F(ViewsTest, AReplacementCataloguePassedOverIsExplainedInTheErrorLine) {
    const auto file = home_.write("Library/Application Support/Cairnmoor/catalog.json", "{}");
    model_ = makeModel();
    openWindow();
    EXPECT_TRUE(shows("loadErrorText"));
    EXPECT_EQ(item("loadErrorText")->property("text").toString(),
              golden("catalogue passed over").arg(QString::fromStdString(file.string())));
    EXPECT_EQ(model_->catalog(), CatalogLoader::loadEmbedded());
}

// One run to its end. Before it, the marks from an inventory taken off the UI thread;
// during it, the bar moves at final states only and the log shows every line in order (a
// flood in batches, a line that is not UTF-8 with its bytes replaced, the last ones too);
// after it, the log file holds exactly what the window showed and what it installed is
// marked. With the log file turned off a run writes none; the marks follow the manager.
TEST_F(ViewsTest, ARunShowsProgressAndEveryLineAndMarksWhatItInstalled) {
    tools_.write("state/formulae/delta", "1.0.0\n");
    const QString gamma = placeApp("Gamma-browser.app");
    ::setenv("CAIRNMOOR_FAKE_FAIL", "foxtrot", 1);
    ::setenv("CAIRNMOOR_FAKE_FLOOD", "alpha:20000", 1);
    ::setenv("CAIRNMOOR_FAKE_INVALID_UTF8", "alpha", 1);
    // Each reading of the clock is 4 ms after the one before; the log is paced by it alone.
    static const StepClock clock{4ms};
    model_ = makeModel(clock);
    EXPECT_FALSE(model_->installedMarks()->known());
    ASSERT_TRUE(waitFor([&] { return model_->installedMarks()->known(); }));
    EXPECT_EQ(role("delta", Row::InstalledHelpRole), u"Installed with Homebrew"_s);
    EXPECT_EQ(role("gamma", Row::InstalledTextRole), u"Installed outside Homebrew"_s);
    EXPECT_EQ(role("gamma", Row::InstalledHelpRole), golden("found outside").arg(gamma));
    EXPECT_EQ(role("alpha", Row::InstalledTextRole), QString());
    options().setUpgradeIfPresent(false);
    std::vector<Clock::TimePoint> flushes; // lines handed to the view, by the clock
    QObject::connect(installRun().logLineModel(), &QAbstractItemModel::rowsAboutToBeInserted,
                     [&] { flushes.push_back(clock.last); });
    // Each step of the bar with the outcome so far, and never running and finished at once.
    QStringList progress;
    QObject::connect(&installRun(), &InstallRun::overallProgressChanged, [&] {
        progress << QString::number(installRun().overallProgress(), 'f', 2) + u' ' +
                        installRun().runRowModel()->summary();
        EXPECT_FALSE(installRun().isRunning() && installRun().runFinished());
    });
    run({"foxtrot", "delta", "alpha", "gamma"});
    finish();
    EXPECT_EQ(progress.join(u" | "_s), golden("progress"));
    std::string install = "\n$ brew install --cask alpha\n";
    for (int i = 1; i <= 20000; ++i) {
        install += "==> Unpacking alpha part " + std::to_string(i) + "/20000\n";
    }
    install += "==> alpha: before\n\uFFFD\uFFFD not text\n==> alpha: after\n";
    EXPECT_NE(shown().find(install), std::string::npos);
    // In batches, at most one a frame, but for the last, at the end of the run.
    EXPECT_LT(flushes.size(), 2000U);
    const auto tooSoon = [](auto before, auto after) { return after - before < 16ms; };
    EXPECT_EQ(std::adjacent_find(flushes.begin(), flushes.end() - 1, tooSoon), flushes.end() - 1);
    EXPECT_TRUE(shown().ends_with("\nError: foxtrot: simulated failure\n$ brew cleanup alpha\n"));
    EXPECT_EQ(readFile(*installRun().lastLogPath()), shown());
    EXPECT_TRUE(waitFor([&] { return role("alpha", Row::InstalledTextRole) == u"Installed"_s; }));
    options().setWriteLog(false);
    run({"beta"});
    finish();
    EXPECT_FALSE(installRun().lastLogPath());
    options().setPackageManagerIndex(1); // MacPorts: Homebrew's marks go at once
    EXPECT_EQ(role("delta", Row::InstalledTextRole), QString());
}

// Cancelled while a command hangs (or the model destroyed): it and the rest are skipped,
// nothing after it starts, and the log says so in one line. Hanging in the downloads ahead,
// before any install, the rows show the plan: foxtrot, found outside Homebrew, is left alone.
// A case: the fake's knob, the subject it hangs on, the selection, the install commands the
// fake gets, and whether the model is destroyed instead. Its golden text: the rows while it
// hangs, then the outcome and the log's last line.
using CancelCase = std::tuple<const char*, const char*, Lines, Lines, bool>;
class CancelTest : public ViewsTest, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(CancelTest, SkipsTheRestAndSaysSoInTheLog) {
    const auto& [fake, subject, selection, installs, destroy] = GetParam();
    ::setenv(("CAIRNMOOR_FAKE_"s + fake).c_str(), subject, 1);
    placeApp("Foxtrot.app");
    run(selection);
    ASSERT_TRUE(waitFor([&, subject = subject] {
        return shown().ends_with("==> Downloading "s + subject + '\n');
    }));
    QStringList seen;
    std::ranges::transform(installRun().runRows(), std::back_inserter(seen),
                           [](const RunRow& row) { return QString::fromStdString(row.text()); });
    if (destroy) {
        model_.reset(); // stops the run, and nothing posted by it touches the model after
        QCoreApplication::processEvents();
    } else {
        installRun().cancelRun();
        finish();
        seen << installRun().runRowModel()->summary() << installRun().logLines().back();
        EXPECT_EQ(readFile(*installRun().lastLogPath()), shown());
    }
    EXPECT_EQ(seen.join(u" | "_s), golden("hang "s + subject));
    EXPECT_EQ(calls(), installs);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Fakes, CancelTest, ::testing::ValuesIn(std::vector<CancelCase>{
    {"HANG", "@fetch", {"alpha", "delta", "foxtrot"}, {}, false},
    {"IGNORE_TERM", "delta", {"alpha", "delta"}, {"brew install --cask alpha", "brew install delta"}, false},
    {"HANG", "alpha", {"alpha", "gamma"}, {"brew install --cask alpha"}, true}}));
// clang-format on

// The question names the apps that would be replaced; one found only after it was
// answered stops the run before anything changes.
TEST_F(ViewsTest, ReplacingAsksFirstAndReplacesNothingUnasked) {
    const QString alpha = placeApp("Alpha.app");
    options().setExistingAppsIndex(2);
    ReplaceConfirmation& confirmation = *model_->replaceConfirmation();
    run({"alpha", "delta", "echo"});
    EXPECT_TRUE(confirmation.checking() && !model_->canInstall());
    EXPECT_TRUE(waitFor([&] { return !confirmation.question().isEmpty(); }));
    EXPECT_EQ(confirmation.question(), golden("replace one").arg(alpha));
    const QString echo = placeApp("Echo.app");
    confirmation.accept();
    finish();
    EXPECT_NE(shown().find(golden("replace unasked").toStdString()), std::string::npos);
    run({"alpha", "delta", "echo"});
    EXPECT_TRUE(waitFor([&] { return !confirmation.question().isEmpty(); }));
    EXPECT_EQ(confirmation.question(), golden("replace two").arg(alpha, echo));
    confirmation.accept();
    finish();
    EXPECT_EQ(calls(), (Lines{"brew install --cask --force alpha", "brew install delta",
                              "brew install --cask --force echo"}));
}

// From the window, a package whose install needs a password installs once the person types
// it into the dialog, which names the app and says when the last try was wrong.
TEST_F(ViewsTest, APasswordAskedForDuringARunIsTypedIntoTheDialog) {
    ::setenv("CAIRNMOOR_FAKE_SUDO", "alpha", 1);
    fs::create_directories(tools_ / "state");
    std::ofstream(tools_ / "state/sudo-password") << "open sesame\n";
    PasswordPrompt& prompt = *installRun().passwordPrompt();
    prompt.setHelperExecutable(CAIRNMOOR_EXECUTABLE);
    run({"alpha"});
    ASSERT_TRUE(waitFor([&] { return prompt.asking(); }));
    EXPECT_EQ(prompt.question(), u"Alpha needs an administrator password to install."_s);
    EXPECT_FALSE(prompt.lastTryWrong());
    prompt.submit(u"not it"_s, false);
    ASSERT_TRUE(waitFor([&] { return prompt.asking(); }));
    EXPECT_TRUE(prompt.lastTryWrong());
    prompt.submit(u"open sesame"_s, false);
    finish();
    EXPECT_EQ(installRun().runRows().at(0).state, PackageState::installed());
    EXPECT_FALSE(prompt.asking());
    EXPECT_EQ(shown().find("sesame"), std::string::npos);
}

// Apps the run would upgrade are open: the person is asked before anything changes, the
// apps named; skipped, they stay open and their package waits; quit, it goes on.
TEST_F(ViewsTest, OpenAppsAreAskedAboutBeforeTheRunChangesAnything) {
    fs::create_directories(tools_ / "state/casks");
    std::ofstream(tools_ / "state/casks/alpha").put('\n');
    OpenApp open(home_ / "Applications/Alpha.app");
    OpenAppsQuestion& question = *installRun().openAppsQuestion();
    for (const auto choice :
         {OpenAppsQuestion::skipThem, OpenAppsQuestion::cancelRun, OpenAppsQuestion::quitThem}) {
        run({"alpha", "delta"});
        ASSERT_TRUE(waitFor([&] { return !question.question().isEmpty(); }));
        EXPECT_EQ(question.question(), u"Alpha.app is open. Ask it to quit and go on, or leave "
                                       u"it for the next run?"_s);
        question.answer(choice);
        finish();
        EXPECT_TRUE(question.question().isEmpty());
        const std::vector<RunRow>& rows = installRun().runRows();
        EXPECT_EQ(rows.at(0).text(), choice == OpenAppsQuestion::skipThem    ? "Skipped: running"
                                     : choice == OpenAppsQuestion::cancelRun ? "Skipped"
                                                                             : "Installed");
        EXPECT_EQ(open.running(), choice != OpenAppsQuestion::quitThem);
    }
    EXPECT_EQ(linesStarting(tools_ / "state/invocations.log", "brew upgrade --cask").size(), 1u);
}

} // namespace
} // namespace cairnmoor::testing
