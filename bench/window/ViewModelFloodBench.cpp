// A run whose one package prints a flood of lines, and one line that is not UTF-8, through the
// window's real view model, engine and log file, with the UI thread in its own event loop as
// in the window. A 5 ms timer on the UI thread finds the longest gap between its ticks from
// startInstall() to the run's completion step; then the same timer runs for as long over an
// idle loop, which shows how much of a gap the machine causes by itself. The manager is the
// tests' fake brew; CAIRNMOOR_FLOOD_LINES sets the number of lines (default 200000).
#include "catalogue/CatalogLoader.hpp"
#include "views/CairnmoorViewModel.hpp"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

namespace {

using namespace cairnmoor;
using namespace Qt::StringLiterals;
namespace fs = std::filesystem;

// The longest gap between the ticks of a 5 ms timer on this thread while it watches.
class TickWatch {
public:
    TickWatch() {
        ticker_.setInterval(5);
        ticker_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker_, &QTimer::timeout, [this] { tick(); });
        clock_.start();
        ticker_.start();
    }
    // Stops watching; the milliseconds watched.
    double stop() {
        ticker_.stop();
        tick();
        return milliseconds(clock_.nsecsElapsed());
    }
    double longestGapMs() const { return milliseconds(longestGap_); }
    int gapsOver50ms() const { return gapsOver50ms_; }

private:
    static double milliseconds(qint64 nanoseconds) {
        return static_cast<double>(nanoseconds) / 1e6;
    }
    void tick() {
        const qint64 now = clock_.nsecsElapsed();
        longestGap_ = std::max(longestGap_, now - lastTick_);
        gapsOver50ms_ += now - lastTick_ > 50'000'000 ? 1 : 0;
        lastTick_ = now;
    }

    QElapsedTimer clock_;
    QTimer ticker_;
    qint64 lastTick_ = 0;
    qint64 longestGap_ = 0;
    int gapsOver50ms_ = 0;
};

// A temporary HOME whose catalogue holds the one cask "alpha", and the fake brew's state
// folder in it; the fake's knobs set for a flood of `lines` lines from alpha's install.
class FloodHome {
public:
    explicit FloodHome(int lines) {
        const fs::path home = path();
        Catalog catalog;
        catalog.updated = "2026-12-01";
        catalog.licences = {{"open-source", "Free and open-source software"}};
        catalog.categories = {"Browsers"};
        AppEntry alpha;
        alpha.id = "alpha";
        alpha.name = "Alpha";
        alpha.category = "Browsers";
        alpha.licence = "open-source";
        alpha.homepage = "https://example.org/alpha";
        alpha.summary = "Prints a flood of lines when installed";
        alpha.macos = MacOSInfo{"alpha", "cask", "alpha"};
        catalog.apps.push_back(alpha);
        fs::create_directories(home / "Library/Application Support/Cairnmoor");
        std::ofstream(home / "Library/Application Support/Cairnmoor/catalog.json")
            << CatalogLoader::encode(catalog);
        fs::create_directories(home / "state");
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("CAIRNMOOR_FAKE_STATE", (home / "state").c_str(), 1);
        for (const char* knob : {"FAIL", "HANG", "IGNORE_TERM", "SUDO", "PROMPT", "UNKNOWN"}) {
            ::unsetenv((std::string("CAIRNMOOR_FAKE_") + knob).c_str());
        }
        ::setenv("CAIRNMOOR_FAKE_FLOOD", ("alpha:" + std::to_string(lines)).c_str(), 1);
        ::setenv("CAIRNMOOR_FAKE_INVALID_UTF8", "alpha", 1);
    }
    fs::path path() const { return scratch_.path().toStdString(); }

private:
    QTemporaryDir scratch_;
};

std::unique_ptr<CairnmoorViewModel> makeModel() {
    return std::make_unique<CairnmoorViewModel>([](PackageManager manager) {
        return manager == PackageManager::homebrew
                   ? std::optional<std::string>(CAIRNMOOR_FAKES_DIR "/brew")
                   : std::nullopt;
    });
}

// Runs the event loop until `done` holds or `deadlineMs` has passed; whether it holds.
bool runUntil(const std::function<bool()>& done, int deadlineMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < deadlineMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    return done();
}

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// What is wrong with the run's log, or nothing: the install's command, every flood line in
// order, the line that is not UTF-8 with its bytes replaced between its neighbours, and a
// log file holding exactly what the window shows.
std::string checkLog(InstallRun& run, int lines) {
    const std::deque<QString>& shown = run.logLines();
    const auto command = std::find(shown.begin(), shown.end(), u"$ brew install --cask alpha"_s);
    if (std::distance(command, shown.end()) < lines + 4) {
        return "the log lacks the install's lines";
    }
    auto line = std::next(command);
    const QString total = QString::number(lines);
    for (int i = 1; i <= lines; ++i, ++line) {
        if (*line != u"==> Unpacking alpha part %1/%2"_s.arg(i).arg(total)) {
            return "flood line " + std::to_string(i) + " is " + line->toStdString();
        }
    }
    for (const QString& expected :
         {u"==> alpha: before"_s, u"\uFFFD\uFFFD not text"_s, u"==> alpha: after"_s}) {
        if (*line++ != expected) {
            return "after the flood: " + std::prev(line)->toStdString();
        }
    }
    if (!run.lastLogPath() ||
        readFile(*run.lastLogPath()) != run.logLineModel()->text().toStdString()) {
        return "the log file differs from the window's log";
    }
    return {};
}

int floodLines() {
    const char* configured = std::getenv("CAIRNMOOR_FLOOD_LINES");
    return configured != nullptr ? std::atoi(configured) : 200000;
}

void BM_ViewModelFlood(benchmark::State& state) {
    const int lines = static_cast<int>(state.range(0));
    for (auto _ : state) {
        FloodHome home(lines);
        auto model = makeModel();
        InstallRun& run = *model->installRun();
        // The inventory the model starts at once is over before the watch begins.
        if (!runUntil([&] { return model->installedMarks()->known(); }, 60000)) {
            state.SkipWithError("the first inventory did not arrive");
            return;
        }
        model->setSelectedIds({"alpha"});

        int inserts = 0;
        int resets = 0;
        qint64 longestInsert = 0;
        QElapsedTimer insertClock;
        LogLineModel* log = run.logLineModel();
        QObject::connect(log, &QAbstractItemModel::rowsAboutToBeInserted,
                         [&] { insertClock.start(); });
        QObject::connect(log, &QAbstractItemModel::rowsInserted, [&] {
            ++inserts;
            longestInsert = std::max(longestInsert, insertClock.nsecsElapsed());
        });
        QObject::connect(log, &QAbstractItemModel::modelReset, [&] { ++resets; });
        bool completed = false;
        QObject::connect(&run, &InstallRun::runCompleted, [&] { completed = true; });

        TickWatch watch;
        if (!model->startInstall()) {
            state.SkipWithError("the run did not start");
            return;
        }
        QEventLoop loop;
        QObject::connect(&run, &InstallRun::runCompleted, &loop, &QEventLoop::quit);
        QTimer::singleShot(std::chrono::minutes(5), &loop, &QEventLoop::quit);
        if (!completed) {
            loop.exec();
        }
        const double runMs = watch.stop();
        if (!completed || !run.runFinished()) {
            state.SkipWithError("the run did not complete within 5 minutes");
            return;
        }
        if (run.runRows().size() != 1 || run.runRows()[0].state != PackageState::installed()) {
            state.SkipWithError("alpha was not installed");
            return;
        }
        if (const std::string fault = checkLog(run, lines); !fault.empty()) {
            state.SkipWithError(fault.c_str());
            return;
        }

        // The model and the inventory it takes after the run are gone: the loop is idle.
        model.reset();
        TickWatch idle;
        QEventLoop idleLoop;
        QTimer::singleShot(static_cast<int>(runMs), &idleLoop, &QEventLoop::quit);
        idleLoop.exec();
        idle.stop();

        state.SetIterationTime(runMs / 1000);
        state.counters["longest_gap_ms"] = watch.longestGapMs();
        state.counters["gaps_over_50ms"] = watch.gapsOver50ms();
        state.counters["idle_longest_gap_ms"] = idle.longestGapMs();
        state.counters["run_ms"] = runMs;
        state.counters["row_inserts"] = inserts;
        state.counters["resets"] = resets;
        state.counters["longest_insert_ms"] = static_cast<double>(longestInsert) / 1e6;
    }
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Qt sees only the program's name; the arguments are the benchmark's.
    int qtArgc = 1;
    QGuiApplication application(qtArgc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    const int lines = floodLines();
    if (lines <= 0) {
        std::fprintf(stderr, "CAIRNMOOR_FLOOD_LINES must be a positive number\n");
        return 1;
    }
    benchmark::RegisterBenchmark("BM_ViewModelFlood", BM_ViewModelFlood)
        ->Arg(lines)
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
