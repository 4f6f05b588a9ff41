#include "config/generate.h"

// Generation is not built in yet: no configuration can be produced.
int produce_senvis_ini(const char* /*product*/, const char* /*version*/) { return -1; }

void revise_senvis_ini_for_VB7(SystemRecord* /*system*/, ItemRecord* /*items*/,
                               int32_t /*itemCount*/) {}
