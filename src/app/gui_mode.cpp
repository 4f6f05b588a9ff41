#include "app/gui_mode.h"

namespace {
const GuiMode* installed = nullptr;
}

void install_gui_mode(const GuiMode* mode) {
    installed = mode;
}

const GuiMode* installed_gui_mode() {
    return installed;
}
