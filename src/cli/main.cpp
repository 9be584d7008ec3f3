// SPDX-License-Identifier: GPL-3.0-or-later
#include <csignal>
#include <iostream>

#include <unistd.h>

#include "cli/cli.h"

namespace {

void onStopSignal(int signalNumber)
{
    tolvex::requestCliStop(signalNumber);
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    return tolvex::runCli(args, std::cout, std::cerr, tolvex::systemDeviceFactory(), ::isatty(STDERR_FILENO) == 1,
                          true);
}
