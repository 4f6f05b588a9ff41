#include "app/startup.h"

#include <strings.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/item_displays.h"
#include "board/system.h"
#include "config/generate.h"
#include "config/loader.h"
#include "config/paths.h"
#include "config/run_context.h"
#include "hw/adapter_discovery.h"
#include "hw/ipmi_imb.h"
#include "hw/port_io.h"
#include "sys/handles.h"
#include "sys/sys.h"

namespace {

constexpr int kFatal = -1;  // seen by the shell as 255
constexpr int kUnusable = -2;
constexpr const char* kMaker = "KELVORANTE";

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

}  // namespace

int existFile(const char* path) {
    struct stat st {};
    if (sys().stat(path, &st) != 0) {
        if (errno == ENOENT) return -1;
        std::fprintf(stderr, "Error: Cannot read %s: %s.\n", path, std::strerror(errno));
        return kUnusable;
    }
    if (!S_ISREG(st.st_mode)) {
        std::fprintf(stderr, "Error: %s is not a regular file.\n", path);
        return kUnusable;
    }
    // A file that opens may still fail to read (a bad sector): try its first
    // byte now rather than let the loader take the error for an empty file.
    File file(sys().fopen(path, "r"));
    if (!file || (std::fgetc(file.get()) == EOF && std::ferror(file.get()))) {
        std::fprintf(stderr, "Error: Cannot read %s: %s.\n", path, std::strerror(errno));
        return kUnusable;
    }
    return 0;
}

int start_monitor(MonitorStart* start) {
    if (sys().getuid() != 0) {
        std::printf("Error: Can only be run as root.\n");
        return kFatal;
    }

    BoardIdentity& board = start->board;
    // Only a configuration that is not there at all is generated: one that
    // is there but unusable is the administrator's to mend, never overwritten.
    switch (existFile(kSenvisIniPath)) {
        case 0:
            break;
        case -1:
            if (generate_configuration(&board) != 0) return kFatal;
            start->generated = true;
            break;
        default:
            return kFatal;
    }

    SystemRecord* system = nullptr;
    ItemRecord* items = nullptr;
    ParameterRecord* parameters = nullptr;
    int32_t itemCount = loadSenvisINI_and_getItemCount(&system, &items, &parameters);
    if (itemCount < 1) {
        std::fprintf(stderr, "Error: something wrong in file Senvis.ini.\n");
        return kFatal;
    }
    start->context = setup_run_context(system, items, itemCount, parameters);

    if ((system->busType & BUS_SMBUS) != 0 && hDevice == 0 && i2cdetect() < 0) {
        if (start->generated) sys().system("rm -f /etc/Senvis.ini");
        return kFatal;
    }

    io_open(system);

    get_mb_info(board.manufacturer, board.product, board.version);
    if (strncasecmp(board.product, "VB7", 3) == 0 && system->coreTempChipCode == 17)
        revise_senvis_ini_for_VB7(system, items, itemCount);

    return 0;
}

ItemDisplay* build_item_displays(const MonitorStart& start) {
    RunContext* ctx = start.context;
    ItemDisplay* disps = createItemDisps(ctx->system, ctx->items, ctx->itemCount, ctx->parameters,
                                         ctx->parameterCount);
    if (start.generated)
        detect_and_hide_nonactivated_items(disps, ctx->system, ctx->items, ctx->itemCount,
                                           ctx->parameters, ctx->parameterCount);
    return disps;
}
