// Replays a fuzz target without libFuzzer, for the normal and sanitizer
// builds: every file of the corpus folders given on the command line, and for
// each a fixed set of deterministic mutations (bit flips, byte changes,
// truncations, cut-outs, repeats, long runs and splices with the other files),
// go to LLVMFuzzerTestOneInput. The same command always feeds the same inputs.
//
//   <target>_replay [--mutations N] CORPUS_DIR...
//
// The target's own messages on stderr are dropped; failures (a broken check, a
// sanitizer report) still reach the real stderr, after the name of the file
// whose inputs were running. SV_FUZZ_REPLAY_VERBOSE=1 names every mutation.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/fuzz_board.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxInput = 1 << 17;

struct Seed {
    std::string name;
    std::string bytes;
};

// splitmix64: a small, well-mixed generator with a fixed sequence per seed.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    size_t below(size_t n) { return n == 0 ? 0 : static_cast<size_t>(next() % n); }

private:
    uint64_t state_;
};

// Bytes that mean something to the parsers: line ends, separators, section
// brackets, blanks, the ends of the byte range.
constexpr uint8_t kInteresting[] = {0x00, 0xFF, '\n', '\r', '=', '[',  ']',  ' ',
                                    '\t', 0x7F, '0',  '_',  '-', 0x80, 0x02, 0x01};

std::string mutate(const std::vector<Seed>& seeds, size_t index, size_t round) {
    Random random(index * 0x100000001B3ull + round + 1);
    std::string data = seeds[index].bytes;
    const std::string& other = seeds[random.below(seeds.size())].bytes;
    switch (round % 8) {
        case 0:  // one bit
            if (!data.empty()) data[random.below(data.size())] ^= char(1 << random.below(8));
            break;
        case 1:  // a few bits
            for (size_t n = 1 + random.below(8); n > 0 && !data.empty(); --n)
                data[random.below(data.size())] ^= char(1 << random.below(8));
            break;
        case 2:  // truncated
            data.resize(random.below(data.size() + 1));
            break;
        case 3:  // a byte that means something
            if (!data.empty())
                data[random.below(data.size())] =
                    char(kInteresting[random.below(sizeof kInteresting)]);
            break;
        case 4: {  // a range cut out
            size_t from = random.below(data.size() + 1);
            data.erase(from, random.below(data.size() - from + 1));
            break;
        }
        case 5: {  // a range of itself repeated in place
            size_t from = random.below(data.size() + 1);
            std::string chunk = data.substr(from, random.below(256));
            data.insert(random.below(data.size() + 1), chunk);
            break;
        }
        case 6: {  // a long run of one byte (long lines, long words)
            char fill =
                random.below(2) ? 'x' : char(kInteresting[random.below(sizeof kInteresting)]);
            data.insert(random.below(data.size() + 1), 64 + random.below(512), fill);
            break;
        }
        case 7:  // the front of this input, the back of another
            data = data.substr(0, random.below(data.size() + 1)) +
                   other.substr(random.below(other.size() + 1));
            break;
    }
    if (data.size() > kMaxInput) data.resize(kMaxInput);
    return data;
}

std::vector<Seed> read_corpus(const std::vector<std::string>& dirs) {
    std::vector<Seed> seeds;
    for (const std::string& dir : dirs) {
        for (const auto& entry : fs::recursive_directory_iterator(dir)) {
            if (!entry.is_regular_file()) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            std::ostringstream bytes;
            bytes << in.rdbuf();
            seeds.push_back({entry.path().string(), bytes.str()});
        }
    }
    std::sort(seeds.begin(), seeds.end(),
              [](const Seed& a, const Seed& b) { return a.name < b.name; });
    return seeds;
}

void run(const std::string& input) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
}

}  // namespace

int main(int argc, char** argv) {
    size_t mutations = 200;
    std::vector<std::string> dirs;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--mutations") == 0 && i + 1 < argc)
            mutations = std::strtoul(argv[++i], nullptr, 10);
        else
            dirs.push_back(argv[i]);
    }
    std::vector<Seed> seeds;
    try {
        seeds = read_corpus(dirs);
    } catch (const fs::filesystem_error& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 2;
    }
    if (seeds.empty()) {
        std::fprintf(stderr, "no corpus files in the folders given\n");
        return 2;
    }

    // The target's messages go nowhere: glibc lets a program point `stderr`
    // elsewhere, which leaves descriptor 2 (where the sanitizers and a broken
    // check report) as it was.
    FILE* out = stderr;
    FILE* quiet = std::fopen("/dev/null", "w");
    if (!quiet) return 2;
    stderr = quiet;
    bool verbose = std::getenv("SV_FUZZ_REPLAY_VERBOSE") != nullptr;

    size_t inputs = 0;
    for (size_t i = 0; i < seeds.size(); ++i) {
        std::fprintf(out, "replaying %s\n", seeds[i].name.c_str());
        run(seeds[i].bytes);
        ++inputs;
        for (size_t round = 0; round < mutations; ++round) {
            if (verbose) std::fprintf(out, "  mutation %zu\n", round);
            run(mutate(seeds, i, round));
            ++inputs;
        }
    }
    std::fprintf(out, "%zu inputs from %zu corpus files: no failure\n", inputs, seeds.size());
    return 0;
}
