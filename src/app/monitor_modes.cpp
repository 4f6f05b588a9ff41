// The monitor's main: the BMC probe, its command line and banner, the shared
// start-up, then one of its three modes (text report, intrusion reset,
// window). Apart from the start-up steps so that the exporter, which shares
// them, links neither the modes nor the window; the window itself is a mode
// that the programs with a window install (app/gui_mode.h).
#include <strings.h>

#include <cstdio>

#include "app/command_line.h"
#include "app/gui_mode.h"
#include "app/startup.h"
#include "app/text_report.h"
#include "hw/ipmi_imb.h"
#include "items/intrusion.h"

int32_t text = 0;

namespace {

constexpr int kNoWindow = -1;  // seen by the shell as 255

int reset_item(RunContext* ctx, const char* name) {
    for (int32_t i = 0; i < ctx->itemCount; ++i) {
        ItemRecord* item = &ctx->items[i];
        if (item->category == CAT_SWITCH && strcasecmp(item->name, name) == 0) {
            int32_t result = reset_Intrusion(ctx->system, ctx->items, ctx->itemCount,
                                             ctx->parameters, ctx->parameterCount, item);
            std::printf(result != 0 ? "\"%s\" is NOT reset!\n\n" : "\"%s\" is reset!\n\n", name);
            return 0;
        }
    }
    std::fprintf(stderr, "Warning! \"%s\" is not found.\n\n", name);
    return 0;
}

int run_text_branch(const MonitorStart& start, const CommandLine& line) {
    ItemDisplay* disps = build_item_displays(start);
    if (line.reset) return reset_item(start.context, line.resetName);
    run_text_reports(disps, *start.context, line.interval);
    return 0;
}

// The windows open before the display records are built, so that a missing
// display ends the run before anything is read or rewritten.
int run_gui_branch(const MonitorStart& start, int argc, char** argv) {
    const GuiMode* mode = installed_gui_mode();
    if (mode == nullptr) {
        std::fprintf(stderr, "Error: this program has no window; use -t for a text report.\n");
        return kNoWindow;
    }
    if (int status = mode->open(argc, argv); status != 0) return status;
    ItemDisplay* disps = build_item_displays(start);
    return mode->run(disps, start.context);
}

}  // namespace

int sensorvisor_main(int argc, char** argv) {
    // The BMC interface decides the SMBus transport for the whole run, so it
    // is known before anything else happens.
    IpmiInit();
    text = 0;

    CommandLine line = parse_command_line(argc, argv);
    headline();
    if (line.action == CommandAction::ShowVersion) {
        print_version(argv[0]);
        return 0;
    }
    if (line.action == CommandAction::ShowUsage) {
        usage(argv[0]);
        return 0;
    }
    text = line.text;

    MonitorStart start;
    if (int status = start_monitor(&start); status != 0) return status;

    if (text == 1) return run_text_branch(start, line);
    return run_gui_branch(start, argc, argv);
}
