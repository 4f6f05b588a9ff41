// The board file's "faults": what goes wrong with the sandbox's files.
#include "vboard/board_parts.h"

namespace {

constexpr NumberKind kFreeBytes{"a byte count (0..4294967295)", 0, 0xFFFFFFFF};

// "/" stands for the whole disk; anything else must be a sandbox path.
std::string read_fault_path(const std::string& text, const Json& shown, const std::string& at,
                            bool root_allowed) {
    if (!(is_sandbox_path(text) || (root_allowed && text == "/"))) {
        bad(at, "expected an absolute path without empty, \".\" or \"..\" parts, got " +
                    describe(shown));
    }
    if (std::string why = path_too_long(text); !why.empty()) bad(at, why);
    return text;
}

std::vector<std::string> read_path_list(const Json& value, const std::string& path) {
    std::vector<std::string> paths;
    ListedOnce listed(path);
    for_each_element(value, path, [&](const Json& v, const std::string& p) {
        std::string text = read_fault_path(read_string(v, p), v, p, false);
        listed.add(text, p);
        paths.push_back(std::move(text));
    });
    return paths;
}

}  // namespace

FaultSettings read_faults(const Json& value, const std::string& path) {
    ObjectReader r(value, path, {"full_disk", "missing", "unreadable"});
    FaultSettings faults;
    if (const Json* disks = r.find("full_disk")) {
        std::string at = r.path("full_disk");
        if (!disks->is_object()) bad(at, "expected an object, got " + describe(*disks));
        for (const auto& item : disks->items()) {
            std::string key_at = key_path(at, item.key());
            std::string disk = read_fault_path(item.key(), Json(item.key()), key_at, true);
            faults.full_disk[disk] = read_number(item.value(), key_at, kFreeBytes);
        }
    }
    if (const Json* v = r.find("missing")) faults.missing = read_path_list(*v, r.path("missing"));
    if (const Json* v = r.find("unreadable"))
        faults.unreadable = read_path_list(*v, r.path("unreadable"));
    return faults;
}
