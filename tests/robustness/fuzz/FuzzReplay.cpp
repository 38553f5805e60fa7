// Runs the fuzz target without libFuzzer: over the files and folders given
// on the command line, then over pseudo-random inputs from a fixed seed. The
// normal test run uses it as a quick check of the seed inputs; it also
// replays a crash file found by scripts/fuzz in a normal build.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::size_t runFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t inputs = 0;
    std::size_t randomInputs = 200;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--random=", 0) == 0) {
            randomInputs = std::stoul(arg.substr(9));
            continue;
        }
        const std::filesystem::path path(arg);
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::directory_iterator(path))
                if (entry.is_regular_file()) inputs += runFile(entry.path());
        } else {
            inputs += runFile(path);
        }
    }
    std::mt19937 rng(20240601);
    for (std::size_t i = 0; i < randomInputs; ++i) {
        std::vector<std::uint8_t> bytes(std::uniform_int_distribution<std::size_t>(1, 4000)(rng));
        for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        ++inputs;
    }
    std::printf("[fuzz-replay] %zu inputs replayed, no mismatch\n", inputs);
    return inputs == 0 ? 1 : 0;
}
