// pelmora-cli: see cli.h.
#include "cli/cli.h"
#include "cli/cli_platform.h"

int main(int argc, char** argv) {
    const CliOutput output{WriteStandardOutput, WriteStandardError};
    return RunCli(CommandLineUtf8(argc, argv), output);
}
