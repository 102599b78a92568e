// Linked into every test program run under Wine. The C runtime buffers
// stdout fully when it is a pipe, as it is under ctest, so a test program
// that dies abruptly would take all it had printed with it; unbuffered, the
// last test it started and the last check it failed still reach the log.
#include <cstdio>

namespace {

struct UnbufferedOutput {
    UnbufferedOutput() { std::setvbuf(stdout, nullptr, _IONBF, 0); }
} const kUnbufferedOutput;

}  // namespace
