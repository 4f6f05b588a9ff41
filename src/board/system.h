// Board identification: maker, product name and version of the base board.
#pragma once

// Fills the three 30-byte buffers (29 characters each, zero-filled by the
// caller). The result carries no meaning for the caller.
int get_mb_info(char* manufacturer, char* product, char* version);
