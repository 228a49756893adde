// Replays fuzz inputs through the fuzz target's entry without libFuzzer,
// so the corpus in the repository runs as a plain test in every build.
// Arguments are files or folders of files; a broken rule aborts.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

static bool Replay(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "quarvel_fuzz_replay: cannot read %s\n", file.string().c_str());
        return false;
    }
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>()};
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return true;
}

int main(int argc, char **argv)
{
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path = argv[i];
        if (std::filesystem::is_directory(path)) {
            for (const auto &entry : std::filesystem::directory_iterator(path))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
        } else {
            files.push_back(path);
        }
    }
    // Directory order is the file system's; replay in name order.
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        std::fprintf(stderr, "quarvel_fuzz_replay: no inputs given\n");
        return 1;
    }
    for (const auto &file : files)
        if (!Replay(file))
            return 1;
    std::printf("replayed %zu inputs\n", files.size());
    return 0;
}
