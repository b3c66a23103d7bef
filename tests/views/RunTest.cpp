// In-window Homebrew runs against the fake brew: rows, progress, the log lines and the
// log file, cancelling, a flood of output, and the model going away mid-run.
#include <algorithm>
#include "ViewsTest.hpp"

#include <QPointer>
#include <QSignalSpy>
#include <gmock/gmock.h>

namespace cairnmoor::testing {
namespace {

using Lines = std::vector<std::string>;

// The log as the window shows it, a line feed after each line: what the log file holds.
std::string shown(CairnmoorViewModel& model) {
    return model.logLineModel()->text().toStdString();
}

class RunTest : public ViewsTest {
protected:
    // Starts a run of these entries (on a model with the fake brew, made unless there is
    // one) and, unless told otherwise, waits for its end.
    void run(const Lines& selection, bool toEnd = true) {
        if (!model_) {
            model_ = makeModel({{PackageManager::homebrew, brewPath()}});
        }
        model_->setSelectedIds({selection.begin(), selection.end()});
        ASSERT_TRUE(model_->startInstall());
        if (toEnd) {
            finish();
        }
    }
    void finish() {
        ASSERT_TRUE(waitFor([&] { return model_->runFinished(); }, 300000));
    }
};

TEST_F(RunTest, ProgressMovesAtFinalStatesAndTheLogFileHoldsEveryLineShown) {
    tools_.write("state/formulae/delta", "1.0.0\n");
    ::setenv("CAIRNMOOR_FAKE_FAIL", "foxtrot", 1);
    model_ = makeModel({{PackageManager::homebrew, brewPath()}});
    model_->setUpgradeIfPresent(false);
    // Each step of the bar with the outcome so far, and never running and finished at once.
    std::vector<std::pair<double, QString>> progress;
    QObject::connect(model_.get(), &CairnmoorViewModel::overallProgressChanged, [&] {
        progress.emplace_back(model_->overallProgress(), model_->runRowModel()->summary());
        EXPECT_FALSE(model_->isRunning() && model_->runFinished());
    });
    run({"foxtrot", "delta", "alpha"});
    EXPECT_EQ(model_->runRows()[0].id(), "alpha"); // catalogue order
    EXPECT_EQ(model_->runRows()[2].state, PackageState::failed("brew exited with status 1"));
    const QString all = u"1 installed, 1 already present, 1 failed"_s;
    ASSERT_EQ(progress.size(), 5U);
    EXPECT_EQ(progress[0], std::pair(0.0, QString()));
    EXPECT_EQ(progress[1].second, u"1 installed"_s);
    EXPECT_NEAR(progress[2].first, 2.0 / 3, 1e-9);
    EXPECT_EQ(progress[2].second, u"1 installed, 1 already present"_s);
    EXPECT_EQ(progress[3], std::pair(1.0, all));
    // The last lines reach the window too, and the file holds exactly what it shows.
    EXPECT_EQ(model_->lastLogURL()->parent_path(), home_ / "Library/Logs/Cairnmoor");
    EXPECT_EQ(readFile(*model_->lastLogURL()), shown(*model_));
    EXPECT_EQ(model_->logLines().back(), u"Error: foxtrot: simulated failure"_s);

    model_->setWriteLog(false);
    run({"gamma"});
    EXPECT_FALSE(model_->lastLogURL());
}

// Cancelled while the second package hangs: it and the rest are skipped, nothing after
// it starts, and the log says so in one line.
class CancelTest
    : public RunTest,
      public ::testing::WithParamInterface<std::tuple<const char*, Lines, const char*>> {};

TEST_P(CancelTest, SkipsTheRestAndSaysSoInTheLog) {
    const auto& [knob, selection, line] = GetParam();
    ::setenv(knob, "delta", 1);
    run(selection, false);
    ASSERT_TRUE(waitFor([&] { return lastInvocation() == "brew install delta"; }));
    model_->cancelRun();
    finish();
    EXPECT_EQ(model_->runRowModel()->summary().toStdString(),
              "1 installed, " + std::to_string(selection.size() - 1) + " skipped");
    EXPECT_EQ(model_->logLines().back().toStdString(), line);
    EXPECT_EQ(readFile(*model_->lastLogURL()), shown(*model_));
    EXPECT_EQ(lastInvocation(), "brew install delta");
}

INSTANTIATE_TEST_SUITE_P(
    Fakes, CancelTest,
    ::testing::Values(std::tuple{"CAIRNMOOR_FAKE_HANG", Lines{"alpha", "delta", "foxtrot"},
                                 "Run cancelled: 2 packages were skipped."},
                      std::tuple{"CAIRNMOOR_FAKE_IGNORE_TERM", Lines{"alpha", "delta"},
                                 "Run cancelled: 1 package was skipped."}));

TEST_F(RunTest, AFloodOfLinesArrivesWholeInOrderAndInBatches) {
    ::setenv("CAIRNMOOR_FAKE_FLOOD", "alpha:20000", 1);
    ::setenv("CAIRNMOOR_FAKE_INVALID_UTF8", "alpha", 1);
    model_ = makeModel({{PackageManager::homebrew, brewPath()}});
    QSignalSpy inserts(model_->logLineModel(), &QAbstractItemModel::rowsInserted);
    run({"alpha"});
    const auto& lines = model_->logLines();
    // After the survey and the fetch ahead, the install's own lines.
    const auto found = std::find(lines.begin(), lines.end(), u"$ brew install --cask alpha"_s);
    ASSERT_NE(found, lines.end());
    const auto start = static_cast<std::size_t>(found - lines.begin());
    ASSERT_GE(lines.size(), start + 20004);
    for (std::size_t i = 1; i <= 20000; ++i) {
        ASSERT_EQ(lines[start + i], u"==> Unpacking alpha part %1/20000"_s.arg(i));
    }
    // The line that is not UTF-8 is shown with its bytes replaced, in its place.
    EXPECT_EQ(lines[start + 20001], u"==> alpha: before"_s);
    EXPECT_EQ(lines[start + 20002], u"\uFFFD\uFFFD not text"_s);
    EXPECT_EQ(lines[start + 20003], u"==> alpha: after"_s);
    EXPECT_EQ(readFile(*model_->lastLogURL()), shown(*model_));
    EXPECT_LT(inserts.count(), 2000);
}

TEST_F(RunTest, AModelDestroyedMidRunStopsTheRunAndIsNotTouchedAfterward) {
    ::setenv("CAIRNMOOR_FAKE_HANG", "alpha", 1);
    run({"alpha", "gamma"}, false);
    ASSERT_TRUE(waitFor([&] { return lastInvocation() == "brew install --cask alpha"; }));
    QPointer<QObject> rows(model_->runRowModel());
    model_.reset();
    EXPECT_TRUE(rows.isNull());
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(lastInvocation(), "brew install --cask alpha");
}

} // namespace
} // namespace cairnmoor::testing
