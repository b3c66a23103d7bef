// Measures the window the way a user feels it, offscreen with the software renderer:
//
//   cairnmoor_window_timing [entries] [--inventory]     (default 20000)
//
// It writes a generated replacement catalogue of that many entries into a temporary
// HOME, then reports (1) the time from the start of main() to the window's first frame,
// and (2) for a series of keystrokes in the search field, the time from the key press
// to the next frame that shows the filtered list (median and worst). With --inventory the
// tests' fake brew is found on PATH (every twentieth entry installed, every twentieth
// another one's app outside it), so the window takes its inventory in the background from
// the start and the keystrokes fall while it runs; the tool also reports when the
// installed marks arrive and the longest the event loop was busy from the first frame to
// then.

#include "catalogue/CatalogLoader.hpp"
#include "views/ApplicationShell.hpp"
#include "views/CairnmoorViewModel.hpp"
#include "views/WindowActions.hpp"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace cairnmoor;

Catalog generatedCatalog(int entries) {
    static const char* const words[] = {
        "amber", "birch",   "cobalt",  "delta", "ember", "fjord",  "granite", "harbour",
        "iris",  "juniper", "kestrel", "lumen", "moss",  "nimbus", "orbit",   "pylon"};
    Catalog catalog;
    catalog.updated = "2026-12-01";
    catalog.licences = {{"open-source", "Free and open-source software"}};
    for (int c = 0; c < 20; ++c) {
        catalog.categories.push_back("Category " + std::to_string(c + 1));
    }
    for (int i = 0; i < entries; ++i) {
        AppEntry app;
        app.id = "app-" + std::to_string(i);
        app.name =
            std::string(words[i % 16]) + " " + words[(i / 16) % 16] + " " + std::to_string(i);
        app.category = catalog.categories[static_cast<size_t>(i % 20)];
        app.licence = "open-source";
        app.homepage = "https://example.org/" + app.id;
        app.summary = "Generated entry " + std::to_string(i) + " for " + words[(i / 7) % 16];
        app.macos = MacOSInfo{app.id, i % 2 == 0 ? "cask" : "formula", app.id};
        catalog.apps.push_back(std::move(app));
    }
    return catalog;
}

// Runs the event loop until the window has drawn a frame after `action`.
double millisecondsToNextFrame(QQuickWindow* window, const std::function<void()>& action) {
    bool swapped = false;
    const auto connection =
        QObject::connect(window, &QQuickWindow::frameSwapped, [&] { swapped = true; });
    QElapsedTimer timer;
    timer.start();
    action();
    while (!swapped && timer.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    }
    const double elapsed = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    QObject::disconnect(connection);
    return elapsed;
}

void key(QQuickWindow* window, int code, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier, text);
    QCoreApplication::sendEvent(window, &press);
    QCoreApplication::sendEvent(window, &release);
}

} // namespace

int main(int argc, char** argv) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("QT_QUICK_BACKEND", "software", 0);
    const int entries = argc > 1 ? std::atoi(argv[1]) : 20000;
    const bool inventory = argc > 2 && std::string(argv[2]) == "--inventory";

    QTemporaryDir scratch;
    const std::filesystem::path home = scratch.path().toStdString();
    std::filesystem::create_directories(home / "Library/Application Support/Cairnmoor");
    std::ofstream(home / "Library/Application Support/Cairnmoor/catalog.json")
        << CatalogLoader::encode(generatedCatalog(entries));
    ::setenv("HOME", home.c_str(), 1);
    if (inventory) {
        std::filesystem::create_directories(home / "bin");
        std::filesystem::create_directories(home / "state/casks");
        std::filesystem::create_symlink(std::filesystem::path(CAIRNMOOR_FAKES_DIR) / "brew",
                                        home / "bin/brew");
        for (int i = 0; i < entries; i += 20) {
            std::ofstream(home / "state/casks" / ("app-" + std::to_string(i))) << "1.0.0\n";
            std::filesystem::create_directories(home / "Applications" /
                                                ("App-" + std::to_string(i + 2) + ".app"));
        }
        ::setenv("CAIRNMOOR_FAKE_STATE", (home / "state").c_str(), 1);
        const std::string path = (home / "bin").string() + ":" + std::getenv("PATH");
        ::setenv("PATH", path.c_str(), 1);
    }
    const double preparation = static_cast<double>(sinceStart.nsecsElapsed()) / 1e6;

    QGuiApplication application(argc, argv);
    CairnmoorViewModel model;
    WindowActions actions(model);
    ApplicationShell shell(model, actions);
    QQuickWindow* window = nullptr;
    double startToFrame = 0;
    {
        if (!shell.load()) {
            for (const QString& error : shell.errors()) {
                std::fprintf(stderr, "%s\n", error.toUtf8().constData());
            }
            return 1;
        }
        window = shell.window();
        bool swapped = false;
        const auto connection =
            QObject::connect(window, &QQuickWindow::frameSwapped, [&] { swapped = true; });
        QElapsedTimer guard;
        guard.start();
        while (!swapped && guard.elapsed() < 20000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents,
                                            5);
        }
        QObject::disconnect(connection);
        startToFrame = static_cast<double>(sinceStart.nsecsElapsed()) / 1e6 - preparation;
    }
    QElapsedTimer sinceFirstFrame;
    sinceFirstFrame.start();
    std::printf("catalogue entries: %d (%zu shown)\n", entries, model.catalog().apps.size());
    std::printf("start to first frame: %.1f ms (catalogue file written in %.1f ms before, "
                "not counted)\n",
                startToFrame, preparation);

    auto* search = window->findChild<QQuickItem*>(QStringLiteral("searchField"));
    if (search == nullptr) {
        std::fputs("no search field\n", stderr);
        return 1;
    }
    window->requestActivate();
    search->forceActiveFocus();
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
    }

    // Type a query, letter by letter, then erase it; each step changes the list.
    std::vector<double> times;
    const QString query = QStringLiteral("ember moss 1");
    for (int round = 0; round < 3; ++round) {
        for (const QChar letter : query) {
            times.push_back(millisecondsToNextFrame(
                window, [&] { key(window, letter.toUpper().unicode(), QString(letter)); }));
        }
        for (qsizetype i = 0; i < query.size(); ++i) {
            times.push_back(millisecondsToNextFrame(
                window, [&] { key(window, Qt::Key_Backspace, QString()); }));
        }
    }
    if (model.searchText() != QString()) {
        std::fputs("typing did not reach the search field\n", stderr);
        return 1;
    }
    std::sort(times.begin(), times.end());
    std::printf("%skeystroke to frame over %zu keys: median %.1f ms, 90th percentile %.1f ms, "
                "worst %.1f ms\n",
                inventory && !model.installedMarks()->known() ? "(inventory running) " : "",
                times.size(), times[times.size() / 2], times[times.size() * 9 / 10], times.back());
    // The model's share: the same query applied without drawing.
    std::vector<double> modelTimes;
    QString typed;
    for (const QChar letter : query) {
        typed += letter;
        QElapsedTimer timer;
        timer.start();
        model.setSearchText(typed);
        modelTimes.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    model.setSearchText(QString());
    std::sort(modelTimes.begin(), modelTimes.end());
    std::printf("the same query set on the model directly (filter, row rebuild and the list's\n"
                "synchronous reaction, no drawing): median %.1f ms, worst %.1f ms\n",
                modelTimes[modelTimes.size() / 2], modelTimes.back());
    if (inventory) {
        // The marks' arrival, as the event loop lives through it.
        QElapsedTimer wait;
        wait.start();
        double longest = 0;
        while (!model.installedMarks()->known() && wait.elapsed() < 300000) {
            QElapsedTimer step;
            step.start();
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents,
                                            5);
            longest = std::max(longest, static_cast<double>(step.nsecsElapsed()) / 1e6);
        }
        const double known = static_cast<double>(wait.nsecsElapsed()) / 1e6;
        const double frame = millisecondsToNextFrame(window, [] {});
        std::printf("installed marks %s %.0f ms after the typing ended (%.0f ms after the first "
                    "frame); %d marked; longest event-loop step while waiting %.1f ms; "
                    "next frame %.1f ms\n",
                    model.installedMarks()->known() ? "known" : "NOT known", known,
                    static_cast<double>(sinceFirstFrame.nsecsElapsed()) / 1e6,
                    static_cast<int>(std::count_if(
                        model.catalog().apps.begin(), model.catalog().apps.end(),
                        [&](const AppEntry& app) { return model.installedMarks()->find(app.id); })),
                    longest, frame);
    }

    return 0;
}
