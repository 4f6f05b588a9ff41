#include "app/startup.h"

#include <strings.h>

#include <cstdio>

#include "app/command_line.h"
#include "app/gui_mode.h"
#include "app/item_displays.h"
#include "app/text_report.h"
#include "board/system.h"
#include "config/generate.h"
#include "config/loader.h"
#include "config/run_context.h"
#include "hw/adapter_discovery.h"
#include "hw/ipmi_imb.h"
#include "hw/port_io.h"
#include "items/intrusion.h"
#include "sys/handles.h"
#include "sys/sys.h"

int32_t text = 0;

namespace {

constexpr int kFatal = -1;  // seen by the shell as 255
constexpr const char* kConfigPath = "/etc/Senvis.ini";
constexpr const char* kMaker = "KELVORANTE";

// The board's identity: three 29-character texts, zero-filled before use.
struct BoardIdentity {
    char manufacturer[30] = {};
    char product[30] = {};
    char version[30] = {};
};

// First run: identify the board and generate its configuration. Returns 0 or
// the fatal status.
int generate_configuration(BoardIdentity* board) {
    get_mb_info(board->manufacturer, board->product, board->version);
    if (strcasecmp(board->manufacturer, kMaker) != 0) {
        std::fprintf(stderr, "Warn: This is not Kelvorante's motherboard!\n");
        return kFatal;
    }
    if (board->product[0] == '\0') {
        std::fprintf(stderr, "Warn: There is no Product name!\n");
        return kFatal;
    }
    if (produce_senvis_ini(board->product, board->version) != 0) {
        std::fprintf(stderr, "Error: Cannot create the initial file for Sensorvisor!\n");
        return kFatal;
    }
    return 0;
}

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

ItemDisplay* build_displays(RunContext* ctx, bool generated) {
    ItemDisplay* disps = createItemDisps(ctx->system, ctx->items, ctx->itemCount, ctx->parameters,
                                         ctx->parameterCount);
    if (generated)
        detect_and_hide_nonactivated_items(disps, ctx->system, ctx->items, ctx->itemCount,
                                           ctx->parameters, ctx->parameterCount);
    return disps;
}

int run_text_branch(RunContext* ctx, const CommandLine& line, bool generated) {
    ItemDisplay* disps = build_displays(ctx, generated);
    if (line.reset) return reset_item(ctx, line.resetName);
    run_text_reports(disps, *ctx, line.interval);
    return 0;
}

// The windows open before the display records are built, so that a missing
// display ends the run before anything is read or rewritten.
int run_gui_branch(RunContext* ctx, bool generated, int argc, char** argv) {
    const GuiMode* mode = installed_gui_mode();
    if (mode == nullptr) {
        std::fprintf(stderr, "Error: this program has no window; use -t for a text report.\n");
        return kFatal;
    }
    if (int status = mode->open(argc, argv); status != 0) return status;
    ItemDisplay* disps = build_displays(ctx, generated);
    return mode->run(disps, ctx);
}

}  // namespace

int existFile(const char* path) {
    File file(sys().fopen(path, "r"));
    return file ? 0 : -1;
}

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

    if (sys().getuid() != 0) {
        std::printf("Error: Can only be run as root.\n");
        return kFatal;
    }

    BoardIdentity board;
    bool generated = false;
    if (existFile(kConfigPath) != 0) {
        if (generate_configuration(&board) != 0) return kFatal;
        generated = true;
    }

    SystemRecord* system = nullptr;
    ItemRecord* items = nullptr;
    ParameterRecord* parameters = nullptr;
    int32_t itemCount = loadSenvisINI_and_getItemCount(&system, &items, &parameters);
    if (itemCount < 1) {
        std::fprintf(stderr, "Error: something wrong in file Senvis.ini.\n");
        return kFatal;
    }
    setup_run_context(system, items, itemCount, parameters);

    if ((system->busType & BUS_SMBUS) != 0 && hDevice == 0 && i2cdetect() < 0) {
        if (generated) sys().system("rm -f /etc/Senvis.ini");
        return kFatal;
    }

    io_open(system);

    get_mb_info(board.manufacturer, board.product, board.version);
    if (strncasecmp(board.product, "VB7", 3) == 0 && system->coreTempChipCode == 17)
        revise_senvis_ini_for_VB7(system, items, itemCount);

    if (text == 1) return run_text_branch(myspSenvis, line, generated);
    return run_gui_branch(myspSenvis, generated, argc, argv);
}
