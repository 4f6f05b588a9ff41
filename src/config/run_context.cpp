#include "config/run_context.h"

#include "config/parameter_index.h"

RunContext* myspSenvis = nullptr;

namespace {
RunContext theContext{};
}

RunContext* setup_run_context(SystemRecord* system, ItemRecord* items, int32_t itemCount,
                              ParameterRecord* parameters) {
    theContext = RunContext{system, items, itemCount, parameters, 2 * itemCount};
    myspSenvis = &theContext;
    index_parameters(parameters, theContext.parameterCount);
    return myspSenvis;
}

void clear_run_context() {
    theContext = RunContext{};
    myspSenvis = nullptr;
}
