// Feeds saved inputs to a fuzz target without libFuzzer, so that any
// compiler can build it and the test suite can replay the corpus: every
// input that once found a fault keeps guarding against its return.
//
//   replay_fuzz_load corpus/fuzz_load [more folders or files]
//
// Each argument is a file or a folder whose files are replayed in name
// order. A target reports a broken promise by aborting; the runner itself
// fails when it was given nothing to replay, so a mistyped folder cannot
// pass unnoticed.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> InputsOf(const fs::path& argument)
{
    if (!fs::is_directory(argument))
        return fs::is_regular_file(argument) ? std::vector<fs::path>{argument} : std::vector<fs::path>{};
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(argument)) {
        if (entry.is_regular_file())
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::uint8_t> ReadInput(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

int main(int argc, char** argv)
{
    std::size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const std::vector<fs::path> inputs = InputsOf(argv[i]);
        if (inputs.empty()) {
            std::fprintf(stderr, "%s: no inputs here\n", argv[i]);
            return 2;
        }
        for (const fs::path& input : inputs) {
            // Printed before the run, so a crash names its input.
            std::fprintf(stderr, "replaying %s\n", input.c_str());
            const std::vector<std::uint8_t> bytes = ReadInput(input);
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++replayed;
        }
    }
    if (replayed == 0) {
        std::fprintf(stderr, "usage: %s <corpus folder or input file>...\n", argv[0]);
        return 2;
    }
    std::printf("replayed %zu inputs\n", replayed);
    return 0;
}
