// sensorvisor-gui-bench: the window's refresh cycle on a virtual board, in
// process, on an X display (run it under scripts/with-xvfb).
//
//   sensorvisor-gui-bench --board FILE [--rounds N]
//
// Start-up runs as the monitor's own GUI branch up to the main loop; then,
// with each page in front in turn, rounds of one refresh cycle (updateAll)
// followed by the drawing it causes (every pending event and expose handled)
// are timed in process CPU time, the best of five batches. A round of the
// readings alone (get_item_reading for every monitored item: the emulated
// hardware and the engine) is timed the same way, so that
//   window = cycle - readings
// is what the window adds: the lookups, texts, 92 charts and the list.
// Prints "key value" lines.
#include <gtk/gtk.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include "app/gui_mode.h"
#include "app/startup.h"
#include "config/run_context.h"
#include "gui/gui_main.h"
#include "gui/main_window.h"
#include "gui/refresh_cycle.h"
#include "gui/registry.h"
#include "items/acquisition.h"
#include "sys/sys.h"
#include "vboard/seed.h"
#include "vboard/virtual_board.h"

namespace fs = std::filesystem;

namespace {

int rounds = 50;
// The results; standard output (the banner) goes to /dev/null.
FILE* results = stdout;

int64_t cpu_ns() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void settle() {
    while (gtk_events_pending()) gtk_main_iteration();
    gdk_window_process_all_updates();
    gdk_flush();
}

// `prepare` runs before each round, outside the time.
template <class F, class P>
int64_t best_round_ns(F&& round, P&& prepare) {
    int64_t best = INT64_MAX;
    for (int batch = 0; batch < 5; ++batch) {
        int64_t spent = 0;
        for (int i = 0; i < rounds; ++i) {
            prepare();
            int64_t start = cpu_ns();
            round();
            spent += cpu_ns() - start;
        }
        best = std::min(best, spent);
    }
    return best / rounds;
}

// The large board's readings never change, so after the first cycle only
// the charts do. For the case where every reading changes, each round starts
// from blank texts: every text the cycle sets is then new.
void blank_texts() {
    struct Group {
        const char* format;
        int count;
        bool button;
    };
    const Group groups[] = {
        {"buttonSummaryFan%d", 16, true},     {"buttonSummaryVoltage%d", 60, true},
        {"buttonSummaryThermal%d", 16, true}, {"buttonSummaryStatus%d", 16, true},
        {"labelFanReading%d", 16, false},     {"labelVoltageReading%d", 60, false},
        {"labelThermalReading%d", 16, false}};
    for (const Group& g : groups)
        for (int i = 0; i < g.count; ++i) {
            GtkWidget* w = lookup_widget(myapp1, widget_name(g.format, i));
            if (g.button)
                g_object_set(w, "label", "", nullptr);
            else
                gtk_label_set_text(GTK_LABEL(w), "");
        }
    settle();
}

int measure(ItemDisplay* disps, RunContext* ctx) {
    gui_fill(disps, ctx);
    settle();
    int monitored = 0;
    for (int32_t i = 0; i < ctx->itemCount; ++i) monitored += ctx->items[i].monitor == 1;
    std::fprintf(results, "items %d\nmonitored %d\nrounds %d\n", ctx->itemCount, monitored, rounds);

    auto nothing = [] {};
    int64_t readings = best_round_ns(
        [&] {
            for (int32_t i = 0; i < ctx->itemCount; ++i) {
                if (ctx->items[i].monitor != 1) continue;
                int64_t value = 0;
                get_item_reading(ctx->system, ctx->items, ctx->itemCount, ctx->parameters,
                                 ctx->parameterCount, &ctx->items[i], &value);
            }
        },
        nothing);
    std::fprintf(results, "readings.cpu_ns %lld\n", static_cast<long long>(readings));

    const char* pages[] = {"summary", "fan", "voltage", "thermal", "items"};
    GtkNotebook* notebook = GTK_NOTEBOOK(lookup_widget(myapp1, "notebook1"));
    for (int page = 0; page < 5; ++page) {
        gtk_notebook_set_current_page(notebook, page);
        settle();
        auto cycle = [] {
            updateAll();
            settle();
        };
        std::fprintf(results, "cycle.%s.cpu_ns %lld\n", pages[page],
                     static_cast<long long>(best_round_ns(cycle, nothing)));
        std::fprintf(results, "cycle_new_texts.%s.cpu_ns %lld\n", pages[page],
                     static_cast<long long>(best_round_ns(cycle, blank_texts)));
    }
    return 0;
}

const GuiMode kMeasuredWindow = {gui_open, measure};

}  // namespace

int main(int argc, char** argv) {
    std::string board_file;
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        if (word == "--board" && i + 1 < argc)
            board_file = argv[++i];
        else if (word == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else
            board_file.clear(), i = argc;
    }
    if (board_file.empty()) {
        std::fprintf(stderr, "usage: sensorvisor-gui-bench --board FILE [--rounds N]\n");
        return 2;
    }
    Board model = load_board_file(board_file);
    model.clock.is_virtual = true;  // zero latency, no real waits
    model.clock.pace = false;
    std::string scratch = (fs::temp_directory_path() / "sensorvisor-gui-bench.XXXXXX").string();
    if (!mkdtemp(scratch.data())) return 1;
    auto board = std::make_unique<VirtualBoard>(std::move(model), scratch);
    seed_root(*board, shipped_data_dir());
    install_sys(board.get());
    install_gui_mode(&kMeasuredWindow);

    std::fflush(stdout);
    results = fdopen(dup(1), "w");
    if (results == nullptr || std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
    char name[] = "sensorvisor";
    char* monitor_argv[] = {name, nullptr};
    int status = sensorvisor_main(1, monitor_argv);
    std::fclose(results);
    install_sys(nullptr);
    board.reset();
    fs::remove_all(scratch);
    return status;
}
