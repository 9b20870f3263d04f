// The tree command: every task list below a folder, printed as the walk reads them.
#pragma once

#include <string>
#include <vector>

#include "cli/cli.h"

struct TreeArguments {
    std::string folder;
    bool all = false;    // every list with every task, not only the open ones
    bool json = false;   // one document at the end
    bool jsonl = false;  // one object per list, each line written as it is read
    int depth = -1;
    std::vector<std::string> exclude;
    bool includeHidden = false;
};

// Prints the lists below `args.folder` to `output.out` as they are read, counts at the end.
// kExitOk when everything was read, kExitPartlyRead when some folder or list could not be (each
// is a row of its own); a root that is missing or no folder ends the command as a CliFailure.
int CmdTree(const TreeArguments& args, const CliOutput& output);
