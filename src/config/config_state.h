// The configuration module's process-wide state: the loaded records, the
// run-time context and the writer's failure hook.
#pragma once

// Frees the loaded records, forgets myspSenvis and restores the default save
// failure hook (tests, between cases).
void reset_config_state();
