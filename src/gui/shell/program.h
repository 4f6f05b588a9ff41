// Program init and the application's pixmap lookup. Stands in for the two
// services of GNOME 2's program object that the window uses (program init
// with an application data directory, and locating a file in the
// application's pixmap domain); Debian 12 has only plain GTK+ 2.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <string>

// Initialises GTK for the program `app_id` and remembers `app_datadir`, the
// first place pixmaps are looked for. False when no X display can be opened.
bool shell_program_init(const char* app_id, int* argc, char*** argv, const char* app_datadir);

// "<datadir>/pixmaps/<file>" for the application data directory given at
// init, then for the data directory the program was installed with; the
// first that exists, or "" when neither does. Looked up through Sys, so a
// virtual board answers from its sandbox.
std::string shell_locate_app_pixmap(const char* file);

// Reads a picture file through Sys and decodes it. nullptr with `error` set
// when the file cannot be read or decoded.
GdkPixbuf* shell_load_pixbuf(const std::string& path, GError** error);
