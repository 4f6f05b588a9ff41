#include "config/config_state.h"

#include "config/loader.h"
#include "config/run_context.h"
#include "config/writer.h"

void reset_config_state() {
    clear_run_context();
    release_loaded_records();
    set_save_failure_hook(nullptr);
}
