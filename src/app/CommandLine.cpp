#include "app/CommandLine.h"

#include "services/ApplicationSupport.h"

#include <QTextStream>
#include <cstring>

namespace CommandLine {

std::optional<int> answer(int argc, const char* const* argv) {
    bool help = false;
    bool version = false;
    for (int i = 1; i < argc; ++i) {
        help = help || std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0;
        version = version || std::strcmp(argv[i], "--version") == 0;
    }
    if (!help && !version)
        return std::nullopt;

    QTextStream out(stdout);
    out << "Vesperline " << VESPERLINE_VERSION << '\n'
        << "Control panel for a church's live-stream scripture presentation; "
           "the church's data lives in "
        << ApplicationSupport::supportURL() << '\n';
    if (help)
        out << "Usage: vesperline [--version | --help]\n";
    out.flush();
    return 0;
}

} // namespace CommandLine
