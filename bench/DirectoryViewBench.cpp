// The directory view on the offscreen platform: painting a full window in both cell sizes,
// opening a 1581 image of 296 entries, and scrolling it page by page (Page Down, then the
// paint that shows the new page).
//
//   build-bench/bench/DirectoryViewBench --benchmark_repetitions=5

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMdiArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "formats/D81Image.h"
#include "text/Settings.h"
#include "support/ImageBuilder.h"
#include "ui/CommandIds.h"
#include "ui/DirectoryView.h"
#include "ui/MainFrame.h"
#include "ui/SettingsStore.h"

using namespace tessarind;

namespace {

constexpr int kFull1541 = 144;
constexpr int kFull1581 = 296;

// A frame of its own, on a settings file in a folder that also holds the images.
struct Bench {
    QTemporaryDir dir;
    Settings settings;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<MainFrame> frame;
    std::string full1541, full1581;

    Bench() {
        store = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("settings.ini")));
        store->Load(settings);
        frame = std::make_unique<MainFrame>(settings, *store, dir.path().toStdString());
        frame->resize(1000, 800);
        frame->show();

        auto d64 = testing::BlankD64("FULL DISK", "FD 2A");
        for (int i = 0; i < kFull1541; ++i)
            testing::AddFile(*d64, {"FILE" + std::to_string(i), 0x82, testing::Pattern(100, i)});
        full1541 = dir.filePath(QStringLiteral("full.d64")).toStdString();
        d64->WriteFile(full1541);

        D81Image d81;
        d81.Open(nullptr, "", false, true);
        for (int i = 0; i < kFull1581; ++i)
            testing::AddFile(d81, {"ENTRY" + std::to_string(i), 0x82, testing::Pattern(100, i)});
        full1581 = dir.filePath(QStringLiteral("full.d81")).toStdString();
        d81.WriteFile(full1581);
    }

    DirectoryView* Open(const std::string& path) {
        frame->OpenPath(path);
        QApplication::processEvents();
        return dynamic_cast<DirectoryView*>(frame->activeView());
    }
    void CloseAll() {
        frame->client()->closeAllSubWindows();
        QApplication::processEvents();
    }
};

Bench* bench = nullptr;

bool Holds(benchmark::State& state, DirectoryView* view, int entries) {
    if (view && view->Image() && view->Image()->entryCount() == entries) return true;
    state.SkipWithError("the image did not open with all its entries");
    return false;
}

// One paint of the whole client area: the core renders the picture, the view draws it.
void BM_PaintFullView(benchmark::State& state) {
    DirectoryView* view = bench->Open(bench->full1541);
    if (!Holds(state, view, kFull1541)) return;
    const bool large = state.range(0) != 0;
    if (view->largeFont() != large) bench->frame->ExecuteCommand(cmd::ToggleFontSize);
    QApplication::processEvents();
    for (auto _ : state) view->viewport()->repaint();
    state.SetLabel(large ? "large cells" : "normal cells");
    bench->CloseAll();
}
BENCHMARK(BM_PaintFullView)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// Opening the 1581 image into a shown, painted window.
void BM_Open1581(benchmark::State& state) {
    for (auto _ : state) {
        DirectoryView* view = bench->Open(bench->full1581);
        if (!Holds(state, view, kFull1581)) break;
        view->viewport()->repaint();
        state.PauseTiming();
        bench->CloseAll();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Open1581)->Unit(benchmark::kMillisecond);

// Page Down and the paint of the new page; back to the top (untimed) after the last page.
void BM_PageStep1581(benchmark::State& state) {
    DirectoryView* view = bench->Open(bench->full1581);
    if (!Holds(state, view, kFull1581)) return;
    QScrollBar* bar = view->verticalScrollBar();
    QKeyEvent pageDown(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
    int pages = 0;
    for (auto _ : state) {
        if (bar->value() == bar->maximum()) {
            state.PauseTiming();
            bar->setValue(0);
            QApplication::processEvents();
            state.ResumeTiming();
        }
        const int before = bar->value();
        QApplication::sendEvent(view, &pageDown);
        view->viewport()->repaint();
        if (bar->value() == before) {
            state.SkipWithError("Page Down did not scroll");
            break;
        }
        ++pages;
    }
    state.counters["pages"] = pages;
    state.counters["rows per page"] = bar->pageStep();
    bench->CloseAll();
}
BENCHMARK(BM_PageStep1581)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Bench shared;
    bench = &shared;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    bench = nullptr;
    return 0;
}
