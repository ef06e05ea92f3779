// SPDX-License-Identifier: MIT
// Runs a fuzz target over saved inputs without libFuzzer: every file named on
// the command line, or every file in a named directory, once. Lets the seed
// corpus and kept crash inputs run as an ordinary test with any compiler.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void run_file(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
  std::printf("%s (%zu bytes)\n", path.c_str(), bytes.size());
  std::fflush(stdout);  // names the input if it crashes
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  size_t count = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path path(argv[i]);
    if (std::filesystem::is_directory(path)) {
      for (const auto& entry : std::filesystem::directory_iterator(path)) {
        if (entry.is_regular_file()) {
          run_file(entry.path());
          ++count;
        }
      }
    } else {
      run_file(path);
      ++count;
    }
  }
  std::printf("%zu inputs ran\n", count);
  return count == 0 ? 1 : 0;
}
