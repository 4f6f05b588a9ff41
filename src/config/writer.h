// The configuration writer behind the window's Save buttons: rewrites
// /etc/Senvis.ini, replacing only the values the window changes and keeping
// everything else (other keys, comments, blank lines, parameter sections, the
// order of lines, the spelling of keys). The file is replaced whole and the
// previous content kept in /etc/Senvis.ini.old (see config/rewrite.h).
#pragma once

// Mode 1 (items page): POLLING in [System] and the MONITOR line of each item.
// Mode 2 (alert page): the mail and pager keys of [System].
// Keys the file lacks are not added. The records come from myspSenvis. On a
// file error a message goes to stdout and the failure hook is called (the
// window asks its main loop to quit there).
void save_INI_File(int mode);

// Called where a failed save must end the program through the GUI main loop.
// nullptr restores the default, which does nothing.
void set_save_failure_hook(void (*hook)());
