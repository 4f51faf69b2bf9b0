#pragma once

#include <optional>

// The courtesy every Linux program offers: --version and --help answer on
// standard output without a window or a display. Nothing else is read from
// the command line.
namespace CommandLine {

// The exit code when the arguments asked for an answer that was printed;
// absent when the program should start as usual.
std::optional<int> answer(int argc, const char* const* argv);

} // namespace CommandLine
