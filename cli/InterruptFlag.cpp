#include "cli/InterruptFlag.h"

#include <csignal>

namespace {
volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void HandleSignal(int)
{
    g_interrupted = 1;
}
} // namespace

void InterruptFlag::Install()
{
    std::signal(SIGINT, HandleSignal);
    std::signal(SIGTERM, HandleSignal);
}

bool InterruptFlag::IsSet()
{
    return g_interrupted != 0;
}
