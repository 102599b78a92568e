// Writes the starting corpus of the wave-format fuzzer into the directory
// given: every file of the format check's table.
#include <cstdio>
#include <string>

#include "native/support/wav_writer.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::vector<WavCase> cases = WavCases();
    size_t written = 0;
    for (const WavCase& c : cases) written += SaveFile(std::string(argv[1]) + "/seed" + std::to_string(written) + ".wav", c.bytes);
    printf("%zu seeds written\n", written);
    return written == cases.size() ? 0 : 1;
}
