#include "vboard/launcher.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "record/record_session.h"
#include "sys/linux_sys.h"
#include "sys/sys.h"
#include "vboard/seed.h"
#include "vboard/virtual_board.h"

namespace fs = std::filesystem;

namespace {

constexpr int kLauncherError = 2;

struct LauncherOptions {
    std::string board_file;
    std::string root;
    std::string trace_file;
    std::string record_file;  // record the run into this board file
    bool keep_serials = false;
    std::vector<char*> monitor_args;
};

// Everything that must be undone when the process ends, however it ends: the
// monitor leaves through exit() from deep inside, so this lives in static
// storage and is torn down by the exit handlers.
struct Session {
    std::unique_ptr<VirtualBoard> board;
    std::string temporary_root;  // removed at the end when non-empty

    ~Session() {
        install_sys(nullptr);
        board.reset();
        if (!temporary_root.empty()) {
            std::error_code ignored;
            fs::remove_all(temporary_root, ignored);
        }
    }
};

Session session;
const char* launcher_name = "sensorvisor-sim";

void complain(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", launcher_name, message.c_str());
}

// Makes the missing directories above a new root; returns the topmost one
// made (empty when none was), which is removed again if seeding fails.
std::string make_parents(const fs::path& root, std::error_code& ec) {
    fs::path topmost;
    for (fs::path above = root.parent_path();
         !fs::exists(above, ec) && above != above.parent_path(); above = above.parent_path()) {
        topmost = above;
    }
    if (!topmost.empty()) fs::create_directories(root.parent_path(), ec);
    return topmost.string();
}

// The root: an existing directory is used as it stands; a new one, named
// by --root or made in the temporary folder, is seeded. The name is checked
// before anything is made.
bool choose_root(LauncherOptions* options, bool* new_root) {
    std::error_code ec;
    if (options->root.empty()) {
        std::string holder = (fs::temp_directory_path() / "sensorvisor-sim.XXXXXX").string();
        if (!mkdtemp(holder.data())) {
            complain("cannot create a temporary root: " + std::string(std::strerror(errno)));
            return false;
        }
        session.temporary_root = holder;
        options->root = holder + "/root";
        *new_root = true;
    } else if (fs::exists(options->root, ec)) {
        if (!fs::is_directory(options->root, ec)) {
            complain("root " + options->root + " is not a directory");
            return false;
        }
        options->root = fs::canonical(options->root, ec).string();
        *new_root = false;
    } else {
        options->root = fs::weakly_canonical(fs::absolute(options->root), ec).string();
        *new_root = true;
    }
    // Shell commands run in the root, so its name must survive being pasted
    // into one unquoted: no quotes, blanks or other shell syntax.
    if (!SandboxPaths::is_shell_safe(options->root)) {
        complain("root " + options->root + ": choose a path without blanks or shell characters");
        return false;
    }
    return true;
}

bool parse_options(int argc, char** argv, LauncherOptions* options) {
    int i = 1;
    for (; i < argc; ++i) {
        std::string word = argv[i];
        std::string* target = nullptr;
        if (word == "--board") target = &options->board_file;
        else if (word == "--root") target = &options->root;
        else if (word == "--trace") target = &options->trace_file;
        else if (word == "--record") target = &options->record_file;
        else if (word == "--keep-serials") {
            options->keep_serials = true;
            continue;
        } else if (word == "--") {
            ++i;
            break;
        } else {
            break;  // the monitor's command line starts here
        }
        if (i + 1 >= argc) {
            complain(word + " needs a value");
            return false;
        }
        *target = argv[++i];
    }
    for (; i < argc; ++i) options->monitor_args.push_back(argv[i]);
    if (options->keep_serials && options->record_file.empty()) {
        complain("--keep-serials goes with --record");
        return false;
    }
    // Without a board the recording is of the machine itself, whose root is /.
    if (!options->record_file.empty() && options->board_file.empty() && !options->root.empty()) {
        complain("--root goes with --board");
        return false;
    }
    return true;
}

}  // namespace

int run_launcher(int argc, char** argv, const LaunchedProgram& program) {
    launcher_name = program.launcher;
    LauncherOptions options;
    if (!parse_options(argc, argv, &options)) return kLauncherError;

    // The program sees itself invoked by its installed name, as on a real
    // machine.
    std::vector<char*> monitor_argv;
    std::string program_name = program.name;
    monitor_argv.push_back(program_name.data());
    monitor_argv.insert(monitor_argv.end(), options.monitor_args.begin(), options.monitor_args.end());
    monitor_argv.push_back(nullptr);
    RecordRequest record{program.launcher, options.record_file, options.trace_file,
                         options.keep_serials};
    if (!options.record_file.empty() && options.board_file.empty()) {
        static LinuxSys machine;
        return run_recorded(machine, record, program.main, monitor_argv);
    }
    if (options.board_file.empty()) options.board_file = bundled_boards_dir() + "/demo.json";

    Board board;
    try {
        board = load_board_file(options.board_file);
    } catch (const BoardError& error) {
        complain(error.what());
        return kLauncherError;
    }

    bool new_root = false;
    if (!choose_root(&options, &new_root)) return kLauncherError;
    try {
        session.board = std::make_unique<VirtualBoard>(std::move(board), options.root);
        session.board->name_host_paths(true);
        // Checked for every run, so that a board is refused the same way
        // whether or not its root is new.
        SeedPlan plan(*session.board, shipped_data_dir());
        if (new_root) {
            std::error_code ec;
            std::string made = make_parents(options.root, ec);
            if (ec) {
                throw std::runtime_error("cannot create root " + options.root + ": " +
                                         ec.message());
            }
            try {
                seed_root(plan, options.root);
            } catch (...) {
                if (!made.empty()) fs::remove_all(made, ec);
                throw;
            }
        }
    } catch (const std::exception& error) {
        complain(error.what());
        return kLauncherError;
    }
    // A recording traces the run itself, in front of the board.
    if (!options.record_file.empty())
        return run_recorded(*session.board, record, program.main, monitor_argv);
    if (!options.trace_file.empty() && !session.board->trace().open_file(options.trace_file)) {
        complain("cannot open trace file " + options.trace_file + ": " + std::strerror(errno));
        return kLauncherError;
    }

    install_sys(session.board.get());
    return program.main(int(monitor_argv.size() - 1), monitor_argv.data());
}
