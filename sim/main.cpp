#include "sim/SimOptions.h"
#include "sim/SimulatorLoop.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    SimOptions options;
    std::string error;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!SimOptions::Parse(args, options, error)) {
        std::fprintf(stderr, "tarn-sim: %s (see --help)\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(SimOptions::HelpText().c_str(), stdout);
        return 0;
    }
    SimulatorLoop loop(options);
    return loop.run();
}
