// pelmora-cli: the task lists of Pelmora from a terminal. Everything it writes goes through the
// same store functions and statements as the program's window, so either can read what the other
// wrote, and Explorer's overlays follow both.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Exit codes, as documented in --help and the README.
enum ExitCode : int {
    kExitOk = 0,
    kExitFailed = 1,      // the database or the status file could not be written
    kExitUsage = 2,       // unknown command or option, missing or extra argument
    kExitNotFound = 3,    // no such item, task number or file
    kExitRefused = 4,     // a title that exists or is empty, an import that is not valid
    kExitBusy = 5,        // another program holds the database; try again
    kExitUnreadable = 6,  // not a task database: damaged, crafted, or a folder in its place
    kExitPartlyRead = 7,  // tree: finished, but some folders or lists could not be read
};

// Ends a command: the exit code and a one-line message for standard error.
class CliFailure : public std::runtime_error {
public:
    CliFailure(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

// Where the commands write: standard output and standard error, UTF-8 text.
struct CliOutput {
    std::function<void(std::string_view)> out;
    std::function<void(std::string_view)> err;
};

// Runs one command line (UTF-8 arguments, the program's name first) and returns its exit code.
// A command that fails writes one line to `output.err`, nothing to `output.out`, and no file.
int RunCli(const std::vector<std::string>& arguments, const CliOutput& output);
