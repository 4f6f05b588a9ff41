#include "gui/shell/program.h"

#include <gtk/gtk.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "sys/handles.h"
#include "sys/sys.h"

namespace {

// Set at init; the installed data directory is fixed when the program is built.
std::string appDatadir;
constexpr const char* kInstalledDatadir = SV_INSTALL_DATADIR;

bool is_file(const std::string& path) {
    struct stat info {};
    return sys().stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

bool shell_program_init(const char* app_id, int* argc, char*** argv, const char* app_datadir) {
    appDatadir = app_datadir;
    g_set_prgname(app_id);
    return gtk_init_check(argc, argv) != FALSE;
}

std::string shell_locate_app_pixmap(const char* file) {
    for (const std::string& datadir : {appDatadir, std::string(kInstalledDatadir)}) {
        if (datadir.empty()) continue;
        std::string path = datadir + "/pixmaps/" + file;
        if (is_file(path)) return path;
    }
    return "";
}

GdkPixbuf* shell_load_pixbuf(const std::string& path, GError** error) {
    File file(sys().fopen(path.c_str(), "rb"));
    if (!file) {
        int code = errno;
        g_set_error(error, G_FILE_ERROR, g_file_error_from_errno(code), "%s", std::strerror(code));
        return nullptr;
    }
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    guchar buffer[4096];
    bool written = true;
    size_t count;
    while (written && (count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        written = gdk_pixbuf_loader_write(loader, buffer, count, error) != FALSE;
    if (written && std::ferror(file.get())) {
        g_set_error(error, G_FILE_ERROR, G_FILE_ERROR_IO, "read error");
        written = false;
    }
    // Closing tells the loader the data is complete; after a failed write the
    // first error is the one reported.
    bool closed = gdk_pixbuf_loader_close(loader, written ? error : nullptr) != FALSE;
    GdkPixbuf* pixbuf = nullptr;
    if (written && closed) {
        pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
        if (pixbuf != nullptr) g_object_ref(pixbuf);
    }
    g_object_unref(loader);
    // A loader can finish without a picture and without saying why.
    if (pixbuf == nullptr && error != nullptr && *error == nullptr)
        g_set_error(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_CORRUPT_IMAGE,
                    "no image in the file");
    return pixbuf;
}
