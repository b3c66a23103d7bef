// In-window Homebrew runs of the window model against the fake brew: rows, progress,
// log lines, the log file, cancelling, and the model going away mid-run.
#include "ViewModelTestFixture.hpp"
#include "install/InstallLog.hpp"
#include "platform/FileManager.hpp"
#include "platform/ProcessInfo.hpp"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QSignalSpy>
#include <QTimer>
#include <gmock/gmock.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace cairnmoor::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

std::vector<std::string> readLines(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> logLines(const CairnmoorViewModel& model) {
    std::vector<std::string> lines;
    for (const QString& line : model.logLines()) {
        lines.push_back(line.toStdString());
    }
    return lines;
}

std::vector<PackageState> rowStates(const CairnmoorViewModel& model) {
    std::vector<PackageState> states;
    for (const RunRow& row : model.runRows()) {
        states.push_back(row.state);
    }
    return states;
}

// Runs the UI thread's event loop (as the window would) until the run completes.
bool runToCompletion(CairnmoorViewModel& model,
                     std::chrono::milliseconds deadline = std::chrono::seconds(60)) {
    if (model.runFinished() && !model.isRunning()) {
        return true;
    }
    QEventLoop loop;
    QObject::connect(&model, &CairnmoorViewModel::runCompleted, &loop, &QEventLoop::quit);
    QTimer::singleShot(deadline, &loop, &QEventLoop::quit);
    loop.exec();
    return model.runFinished();
}

// The fake brew on a temporary folder, its state folder, and no knobs set.
class ViewModelRunTest : public ViewModelTest {
protected:
    ViewModelRunTest() : stateEnv_("CAIRNMOOR_FAKE_STATE", (tools_ / "state").string()) {
        for (const char* knob :
             {"CAIRNMOOR_FAKE_FAIL", "CAIRNMOOR_FAKE_HANG", "CAIRNMOOR_FAKE_IGNORE_TERM",
              "CAIRNMOOR_FAKE_FLOOD", "CAIRNMOOR_FAKE_INVALID_UTF8", "CAIRNMOOR_FAKE_GRANDCHILD",
              "CAIRNMOOR_FAKE_UPDATE_FAIL", "CAIRNMOOR_FAKE_LIST_FAIL",
              "CAIRNMOOR_FAKE_LIST_GARBAGE"}) {
            knobs_.push_back(std::make_unique<ScopedEnv>(knob, std::nullopt));
        }
        fs::create_directories(tools_ / "bin");
        fs::create_directories(tools_ / "state");
        fs::create_symlink(fs::path(CAIRNMOOR_FAKES_DIR) / "brew", tools_ / "bin" / "brew");
    }

    void setKnob(const std::string& name, const std::string& value) {
        ::setenv(name.c_str(), value.c_str(), 1);
    }

    std::unique_ptr<CairnmoorViewModel> makeRunModel(std::vector<std::string> selection) {
        auto model = makeModel({{PackageManager::homebrew, (tools_ / "bin" / "brew").string()}});
        model->setSelectedIds({selection.begin(), selection.end()});
        return model;
    }

    std::vector<std::string> invocations() const {
        return readLines(tools_ / "state" / "invocations.log");
    }

    bool hasInvocation(const std::string& line) const {
        const auto all = invocations();
        return std::find(all.begin(), all.end(), line) != all.end();
    }

    fs::path logFolder() const { return home_ / "Library" / "Logs" / "Cairnmoor"; }

    TempDir tools_;
    ScopedEnv stateEnv_;

private:
    std::vector<std::unique_ptr<ScopedEnv>> knobs_; // cleared for the test, restored after
};

TEST_F(ViewModelRunTest, ThreePackagesMoveProgressAtFinalStatesAndEndInTheEngineStates) {
    fs::create_directories(tools_ / "state" / "formulae");
    std::ofstream(tools_ / "state" / "formulae" / "delta").put('\n');
    setKnob("CAIRNMOOR_FAKE_FAIL", "foxtrot");
    auto model = makeRunModel({"foxtrot", "delta", "alpha"});
    model->setUpgradeIfPresent(false); // delta is left alone

    std::vector<double> progress;
    std::vector<int> finalRowsAtProgress;
    bool bothTrue = false;
    QObject::connect(model.get(), &CairnmoorViewModel::overallProgressChanged, [&] {
        progress.push_back(model->overallProgress());
        const auto states = rowStates(*model);
        finalRowsAtProgress.push_back(static_cast<int>(std::count_if(
            states.begin(), states.end(), [](const PackageState& s) { return s.isFinal(); })));
    });
    const auto checkExclusive = [&] { bothTrue |= model->isRunning() && model->runFinished(); };
    QObject::connect(model.get(), &CairnmoorViewModel::isRunningChanged, checkExclusive);
    QObject::connect(model.get(), &CairnmoorViewModel::runFinishedChanged, checkExclusive);
    std::vector<std::string> installingSeen;
    QObject::connect(model->runRowModel(), &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex& index) {
                         if (model->runRows()[static_cast<std::size_t>(index.row())].state ==
                             PackageState::installing()) {
                             installingSeen.push_back(
                                 model->runRows()[static_cast<std::size_t>(index.row())].id());
                         }
                     });

    ASSERT_TRUE(model->startInstall());
    EXPECT_TRUE(model->isRunning());
    EXPECT_FALSE(model->canInstall());
    ASSERT_EQ(model->runRows().size(), 3u);
    EXPECT_EQ(model->runRows()[0].id(), "alpha"); // catalogue order
    EXPECT_EQ(model->runRows()[1].id(), "delta");
    EXPECT_EQ(model->runRows()[2].id(), "foxtrot");
    EXPECT_THAT(rowStates(*model), Contains(PackageState::pending()).Times(3));

    ASSERT_TRUE(runToCompletion(*model));
    EXPECT_FALSE(model->isRunning());
    EXPECT_FALSE(bothTrue);
    EXPECT_THAT(rowStates(*model),
                ElementsAre(PackageState::installed(), PackageState::alreadyPresent(),
                            PackageState::failed("brew exited with status 1")));
    EXPECT_EQ(
        model->runRowModel()->data(model->runRowModel()->index(2), RunRowModel::StateTextRole),
        QStringLiteral("Failed: brew exited with status 1"));
    EXPECT_THAT(installingSeen, ElementsAre("alpha", "foxtrot"));

    // 0 at the start, then one step per finished package, then the completion's 1.
    ASSERT_EQ(progress.size(), 5u);
    EXPECT_DOUBLE_EQ(progress[0], 0.0);
    EXPECT_NEAR(progress[1], 1.0 / 3, 1e-9);
    EXPECT_NEAR(progress[2], 2.0 / 3, 1e-9);
    EXPECT_DOUBLE_EQ(progress[3], 1.0);
    EXPECT_DOUBLE_EQ(progress[4], 1.0);
    EXPECT_THAT(finalRowsAtProgress, ElementsAre(0, 1, 2, 3, 3));

    // The log file holds exactly the lines the window shows.
    ASSERT_TRUE(model->lastLogURL());
    const fs::path log = *model->lastLogURL();
    EXPECT_EQ(log.parent_path(), logFolder());
    EXPECT_TRUE(log.filename().string().starts_with("Cairnmoor-")) << log;
    EXPECT_EQ(model->lastLogURLText(), QString::fromStdString(log.string()));
    EXPECT_EQ(readLines(log), logLines(*model));
    EXPECT_THAT(logLines(*model), Contains("$ brew install --cask alpha"));
    EXPECT_THAT(logLines(*model), Contains("$ brew install --cask foxtrot"));
    EXPECT_THAT(logLines(*model), Not(Contains("brew exited with status 1")));
    EXPECT_THAT(invocations(),
                ElementsAre("brew list --cask", "brew list --formula", "brew install --cask alpha",
                            "brew install --cask foxtrot"));
}

TEST_F(ViewModelRunTest, WithoutWriteLogNoFileIsMadeAndNoLogIsNamed) {
    auto model = makeRunModel({"alpha"});
    model->setWriteLog(false);
    ASSERT_TRUE(model->startInstall());
    ASSERT_TRUE(runToCompletion(*model));
    EXPECT_THAT(rowStates(*model), ElementsAre(PackageState::installed()));
    EXPECT_FALSE(model->lastLogURL());
    EXPECT_TRUE(model->lastLogURLText().isEmpty());
    EXPECT_THAT(logLines(*model), Contains("$ brew install --cask alpha"));
    EXPECT_FALSE(fs::exists(home_ / "Library" / "Logs"));
}

TEST_F(ViewModelRunTest, ANewRunKeepsEarlierLogsAndNamesItsOwnOnlyAtCompletion) {
    auto model = makeRunModel({"alpha"});
    ASSERT_TRUE(model->startInstall());
    ASSERT_TRUE(runToCompletion(*model));
    const auto firstLog = model->lastLogURL();
    ASSERT_TRUE(firstLog);
    const auto firstLines = readLines(*firstLog);
    ASSERT_FALSE(firstLines.empty());

    // Whatever second the next run starts in, a file of that name is already there.
    const auto now = std::chrono::system_clock::now();
    std::vector<fs::path> earlier;
    for (int seconds = 0; seconds < 5; ++seconds) {
        earlier.push_back(InstallLog::path(ProcessInfo::hostName(),
                                           now + std::chrono::seconds(seconds),
                                           FileManager::defaultManager()));
        if (!fs::exists(earlier.back())) {
            std::ofstream(earlier.back()) << "an earlier run\n";
        }
    }
    model->toggle(QStringLiteral("alpha"));
    model->toggle(QStringLiteral("gamma"));
    ASSERT_TRUE(model->startInstall());
    EXPECT_EQ(model->lastLogURL(), firstLog); // during the run it still names the last log
    EXPECT_THAT(model->logLines(), IsEmpty());
    EXPECT_EQ(model->overallProgress(), 0.0);
    EXPECT_FALSE(model->runFinished());
    ASSERT_TRUE(runToCompletion(*model));

    ASSERT_TRUE(model->lastLogURL());
    EXPECT_NE(model->lastLogURL(), firstLog);
    EXPECT_THAT(earlier, Not(Contains(*model->lastLogURL())));
    EXPECT_EQ(readLines(*firstLog), firstLines);
    for (const fs::path& file : earlier) {
        if (file != *firstLog) {
            EXPECT_THAT(readLines(file), ElementsAre("an earlier run")) << file;
        }
    }
    EXPECT_EQ(readLines(*model->lastLogURL()), logLines(*model));
    EXPECT_THAT(logLines(*model), Contains("$ brew install --cask gamma-browser"));
}

TEST_F(ViewModelRunTest, AnUnwritableLogFolderLosesOnlyTheFile) {
    fs::create_directories(home_ / "Library");
    std::ofstream(home_ / "Library" / "Logs") << "a file where the folder should be";
    auto model = makeRunModel({"alpha"});
    ASSERT_TRUE(model->startInstall());
    ASSERT_TRUE(runToCompletion(*model));
    EXPECT_THAT(rowStates(*model), ElementsAre(PackageState::installed()));
    EXPECT_THAT(logLines(*model), Contains("$ brew install --cask alpha"));
    ASSERT_TRUE(model->lastLogURL()); // the location is still named
    EXPECT_FALSE(fs::exists(*model->lastLogURL()));
}

class CancelTest : public ViewModelRunTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(CancelTest, CancelDuringTheSecondPackageSkipsTheRestWithoutBlockingTheWindow) {
    setKnob(GetParam(), "delta");
    auto model = makeRunModel({"alpha", "delta", "foxtrot"});
    ASSERT_TRUE(model->startInstall());
    ASSERT_TRUE(waitFor([&] { return hasInvocation("brew install delta"); }));
    ASSERT_TRUE(waitFor([&] { return model->runRows()[1].state == PackageState::installing(); }));

    QElapsedTimer clock;
    clock.start();
    model->cancelRun();
    // A fake that ignores SIGTERM holds the engine's cancel for its grace period; the
    // window's thread must not wait for it.
    EXPECT_LT(clock.elapsed(), 250);
    EXPECT_TRUE(model->isRunning());

    ASSERT_TRUE(runToCompletion(*model));
    EXPECT_THAT(rowStates(*model), ElementsAre(PackageState::installed(), PackageState::skipped(),
                                               PackageState::skipped()));
    EXPECT_DOUBLE_EQ(model->overallProgress(), 1.0);
    EXPECT_FALSE(hasInvocation("brew install --cask foxtrot"));
}

INSTANTIATE_TEST_SUITE_P(Fakes, CancelTest,
                         ::testing::Values("CAIRNMOOR_FAKE_HANG", "CAIRNMOOR_FAKE_IGNORE_TERM"));

enum class Moment { beforeTheTaskRuns, whileAPackageHangs, duringAFlood };

class DestroyedMidRunTest : public ViewModelRunTest,
                            public ::testing::WithParamInterface<Moment> {};

TEST_P(DestroyedMidRunTest, NothingOfTheRunTouchesTheModelAfterward) {
    setKnob("CAIRNMOOR_FAKE_HANG", "alpha");
    setKnob("CAIRNMOOR_FAKE_FLOOD", "gamma-browser:200000");
    auto model = makeRunModel({"alpha", "gamma"});
    if (GetParam() == Moment::duringAFlood) {
        ::unsetenv("CAIRNMOOR_FAKE_HANG");
    }
    ASSERT_TRUE(model->startInstall());
    switch (GetParam()) {
    case Moment::beforeTheTaskRuns:
        break;
    case Moment::whileAPackageHangs:
        ASSERT_TRUE(waitFor([&] { return hasInvocation("brew install --cask alpha"); }));
        break;
    case Moment::duringAFlood:
        ASSERT_TRUE(waitFor([&] { return model->logLines().size() > 1000; }));
        break;
    }
    QPointer<QObject> rows(model->runRowModel());
    model.reset();
    EXPECT_TRUE(rows.isNull());
    // Whatever the run had posted is dropped with the model.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    // The run ended with the model: the hanging command was stopped and nothing after
    // it started.
    if (GetParam() == Moment::whileAPackageHangs) {
        EXPECT_FALSE(hasInvocation("brew install --cask gamma-browser"));
    }
}

INSTANTIATE_TEST_SUITE_P(Moments, DestroyedMidRunTest,
                         ::testing::Values(Moment::beforeTheTaskRuns, Moment::whileAPackageHangs,
                                           Moment::duringAFlood));

// Watches the UI thread's event loop: a 5 ms timer whose longest gap between ticks
// is the longest time the loop could not run.
class TickWatch {
public:
    TickWatch() {
        ticker_.setInterval(5);
        QObject::connect(&ticker_, &QTimer::timeout, [this] { tick(); });
        clock_.start();
        ticker_.start();
    }
    // Stops watching; returns the elapsed time.
    qint64 stop() {
        ticker_.stop();
        tick();
        return clock_.elapsed();
    }
    qint64 longestGap() const { return longestGap_; }
    int gapsOver50ms() const { return gapsOver50ms_; }

private:
    void tick() {
        const qint64 now = clock_.elapsed();
        const qint64 gap = now - lastTick_;
        longestGap_ = std::max(longestGap_, gap);
        gapsOver50ms_ += gap > 50 ? 1 : 0;
        lastTick_ = now;
    }

    QElapsedTimer clock_;
    QTimer ticker_;
    qint64 lastTick_ = 0;
    qint64 longestGap_ = 0;
    int gapsOver50ms_ = 0;
};

// A package that prints a flood of lines: every line reaches the file and the view in
// order, and the window's thread keeps ticking. CAIRNMOOR_FLOOD_LINES sets the size
// (docs/PERFORMANCE.md records 200000 in a release build).
TEST_F(ViewModelRunTest, AFloodOfLinesArrivesWholeAndInOrderWithoutStallingTheWindow) {
    const char* configured = std::getenv("CAIRNMOOR_FLOOD_LINES");
    const int lines = configured != nullptr ? std::atoi(configured) : 20000;
    ASSERT_GT(lines, 0);
    setKnob("CAIRNMOOR_FAKE_FLOOD", "alpha:" + std::to_string(lines));
    setKnob("CAIRNMOOR_FAKE_INVALID_UTF8", "alpha");
    auto model = makeRunModel({"alpha"});
    QSignalSpy inserts(model->logLineModel(), &QAbstractItemModel::rowsInserted);
    QSignalSpy resets(model->logLineModel(), &QAbstractItemModel::modelReset);

    qint64 longestInsert = 0;
    QElapsedTimer insertClock;
    QObject::connect(model->logLineModel(), &QAbstractItemModel::rowsAboutToBeInserted,
                     [&] { insertClock.start(); });
    QObject::connect(model->logLineModel(), &QAbstractItemModel::rowsInserted,
                     [&] { longestInsert = std::max(longestInsert, insertClock.elapsed()); });

    TickWatch watch;
    ASSERT_TRUE(model->startInstall());
    ASSERT_TRUE(runToCompletion(*model, std::chrono::minutes(5)));
    const qint64 total = watch.stop();

    EXPECT_THAT(rowStates(*model), ElementsAre(PackageState::installed()));
    const std::vector<std::string> shown = logLines(*model);
    ASSERT_GE(shown.size(), static_cast<std::size_t>(lines) + 4);
    EXPECT_EQ(shown[0], "$ brew install --cask alpha");
    for (int i = 1; i <= lines; ++i) {
        const std::string expected =
            "==> Unpacking alpha part " + std::to_string(i) + "/" + std::to_string(lines);
        ASSERT_EQ(shown[static_cast<std::size_t>(i)], expected);
    }
    // The runner drops the line that is not UTF-8; its neighbours stay in order.
    EXPECT_EQ(shown[static_cast<std::size_t>(lines) + 1], "==> alpha: before");
    EXPECT_EQ(shown[static_cast<std::size_t>(lines) + 2], "==> alpha: after");
    const std::vector<std::string> file = readLines(*model->lastLogURL());
    ASSERT_EQ(file.size(), shown.size());
    for (std::size_t i = 0; i < file.size(); ++i) {
        ASSERT_EQ(file[i], shown[i]) << "line " << i;
    }
    // Lines were appended in batches, never by rebuilding the list.
    EXPECT_EQ(resets.count(), 0);
    EXPECT_LT(inserts.count(), static_cast<int>(shown.size()));

    std::printf("[ flood    ] %d lines: total %lld ms, longest UI-thread gap %lld ms (%d gaps "
                "over 50 ms), %lld row insertions, longest insertion %lld ms\n",
                lines, static_cast<long long>(total), static_cast<long long>(watch.longestGap()),
                watch.gapsOver50ms(), static_cast<long long>(inserts.count()),
                static_cast<long long>(longestInsert));
    RecordProperty("longestGapMs", static_cast<int>(watch.longestGap()));
    RecordProperty("totalMs", static_cast<int>(total));
    if (configured != nullptr) {
        // Measuring: the same watch over an idle loop for as long, on the same machine
        // right now, shows how much of the gap is the scheduler's and not the run's.
        TickWatch idle;
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(total), &loop, &QEventLoop::quit);
        loop.exec();
        idle.stop();
        std::printf("[ idle     ] same duration without a run: longest gap %lld ms (%d gaps over "
                    "50 ms)\n",
                    static_cast<long long>(idle.longestGap()), idle.gapsOver50ms());
    }
}

} // namespace
} // namespace cairnmoor::testing
