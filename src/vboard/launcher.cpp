#include "vboard/launcher.h"

#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "record/record_session.h"
#include "sys/linux_sys.h"
#include "sys/sys.h"
#include "vboard/chip_state_file.h"
#include "vboard/removal_on_signal.h"
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
    std::unique_ptr<ChipStateFile> chip_state;  // none in a temporary root
    std::string temporary_root;                 // removed at the end when non-empty

    ~Session() {
        install_sys(nullptr);
        keep_chip_state();
        chip_state.reset();
        board.reset();
        if (!temporary_root.empty()) {
            std::error_code ignored;
            fs::remove_all(temporary_root, ignored);
        }
    }

    void keep_chip_state();
};

Session session;
const char* launcher_name = "sensorvisor-sim";

void complain(const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", launcher_name, message.c_str());
}

void Session::keep_chip_state() {
    if (!chip_state) return;
    if (std::string why = chip_state->save(); !why.empty()) complain(why);
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

// The root: an existing directory is used as it stands, unless it is empty
// (made for the launcher by hand); an empty or new one, named by --root or
// made in the temporary folder, is seeded. The name is checked before
// anything is made.
bool choose_root(LauncherOptions* options, bool* new_root) {
    std::error_code ec;
    if (options->root.empty()) {
        std::string holder = (fs::temp_directory_path() / "sensorvisor-sim.XXXXXX").string();
        if (!mkdtemp(holder.data())) {
            complain("cannot create a temporary root: " + std::string(std::strerror(errno)));
            return false;
        }
        session.temporary_root = holder;
        remove_on_fatal_signals(holder);
        options->root = holder + "/root";
        *new_root = true;
    } else if (fs::exists(options->root, ec)) {
        if (!fs::is_directory(options->root, ec)) {
            complain("root " + options->root + " is not a directory");
            return false;
        }
        options->root = fs::canonical(options->root, ec).string();
        *new_root = fs::is_empty(options->root, ec) && !ec;
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

// The launcher's options: long ones only, so that every word with a single
// dash (-t, -i 5) is the program's.
constexpr option kOptions[] = {
    {"board", required_argument, nullptr, 'b'},
    {"root", required_argument, nullptr, 'r'},
    {"trace", required_argument, nullptr, 't'},
    {"record", required_argument, nullptr, 'R'},
    {"keep-serials", no_argument, nullptr, 'k'},
    {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
};

void print_help(const LaunchedProgram& program) {
    std::printf(
        "Usage: %1$s [OPTION]... [--] [ARGUMENT]...\n"
        "Runs %2$s on a virtual board, in a sandbox directory that stands in for /.\n"
        "The ARGUMENTs are %2$s's own command line: the words after --, or from the\n"
        "first word that is not an option below (%1$s %3$s lists them).\n"
        "\n"
        "  --board=FILE    the board file (default: the bundled demo board)\n"
        "  --root=DIR      the sandbox: made and seeded when missing or empty, used as\n"
        "                  it stands otherwise, with what its chips hold (default: a\n"
        "                  temporary directory, removed when the run ends)\n"
        "  --trace=FILE    append one line per hardware operation to FILE\n"
        "  --record=FILE   record the run into the board file FILE; without --board,\n"
        "                  the run on this machine itself (as root)\n"
        "  --keep-serials  with --record: keep serial numbers, asset tags, UUIDs and\n"
        "                  the BMC's GUID\n"
        "  --help          print this help and end\n"
        "\n"
        "Bundled boards: %4$s\n"
        "The board file, the trace and the sandbox: man sensorvisor-sim.\n",
        program.launcher, program.name, program.own_help, bundled_boards_dir().c_str());
}

// Why getopt_long refused the long option `word`: unknown, ambiguous (a
// prefix of several), or given a value it does not take.
std::string refusal_of(const std::string& word, const LaunchedProgram& program) {
    const std::string name = word.substr(2, word.find('=') - 2);
    std::vector<std::string> matches;
    for (const option* o = kOptions; o->name; ++o) {
        if (name == o->name) {
            matches = {o->name};
            break;
        }
        if (!name.empty() && std::string_view(o->name).starts_with(name))
            matches.push_back(o->name);
    }
    if (matches.size() > 1) {
        std::string names;
        for (const std::string& match : matches) names += (names.empty() ? "--" : " or --") + match;
        return word + " is ambiguous: " + names;
    }
    if (matches.size() == 1 && word.find('=') != std::string::npos)
        return "--" + matches.front() + " takes no value";
    return "unknown option " + word + " (" + program.name + "'s own options go after --)";
}

// Parses the launcher's options with getopt_long, one word at a time: the
// program's command line starts at "--" (dropped) or at the first word that
// does not begin with "--". Returns -1 to go on, or the status to end with.
int parse_options(int argc, char** argv, const LaunchedProgram& program, LauncherOptions* options) {
    opterr = 0;  // the refusals are ours, one line each
    optind = 1;
    int status = -1;
    while (status < 0 && optind < argc) {
        const std::string word = argv[optind];
        if (word == "--") {
            ++optind;
            break;
        }
        if (!word.starts_with("--")) break;
        int which = -1;
        const int c = getopt_long(argc, argv, ":", kOptions, &which);
        std::string* value = nullptr;
        switch (c) {
            case 'b':
                value = &options->board_file;
                break;
            case 'r':
                value = &options->root;
                break;
            case 't':
                value = &options->trace_file;
                break;
            case 'R':
                value = &options->record_file;
                break;
            case 'k':
                options->keep_serials = true;
                break;
            case 'h':
                print_help(program);
                status = 0;
                break;
            case ':':  // the option is known, its value missing
                complain(word + " needs a value");
                status = kLauncherError;
                break;
            default:
                complain(refusal_of(word, program) + "; see " + program.launcher + " --help");
                status = kLauncherError;
                break;
        }
        if (value && *optarg == '\0') {  // --board= names no file
            complain(std::string("--") + kOptions[which].name + " needs a value");
            status = kLauncherError;
        } else if (value) {
            *value = optarg;
        }
    }
    for (int i = optind; status < 0 && i < argc; ++i) options->monitor_args.push_back(argv[i]);
    // The program's own parser (the exporter's uses getopt_long too) starts
    // afresh, as in a process of its own.
    optind = 1;
    opterr = 1;
    if (status >= 0) return status;
    if (options->keep_serials && options->record_file.empty()) {
        complain("--keep-serials goes with --record");
        return kLauncherError;
    }
    // Without a board the recording is of the machine itself, whose root is /.
    if (!options->record_file.empty() && options->board_file.empty() && !options->root.empty()) {
        complain("--root goes with --board");
        return kLauncherError;
    }
    return -1;
}

}  // namespace

int run_launcher(int argc, char** argv, const LaunchedProgram& program) {
    launcher_name = program.launcher;
    LauncherOptions options;
    if (int status = parse_options(argc, argv, program, &options); status >= 0) return status;

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
    // The chips of a root the launcher keeps hold what they held at the end
    // of its last run, as a board's chips do while the machine stays on.
    if (session.temporary_root.empty()) {
        session.chip_state = std::make_unique<ChipStateFile>(*session.board, options.root);
        if (!new_root) {
            if (std::string why = session.chip_state->load(); !why.empty()) complain(why);
        }
        session.board->on_pause([] { session.keep_chip_state(); });
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
