#include "config/config_state.h"

#include "config/loader.h"
#include "config/parameter_index.h"
#include "config/run_context.h"
#include "config/writer.h"

void reset_config_state() {
    clear_run_context();
    clear_parameter_index();
    release_loaded_records();
    set_save_failure_hook(nullptr);
}
