// The value of an item's entry in the status file, which picks the overlay Explorer draws.
// Header-only and free of the C++ runtime: the shell extension includes it.
#pragma once

enum class FolderStatus : int {
    kNone = 0,          // no tasks (or they cannot be read): no overlay
    kLessThanHalf = 1,  // fewer than half of the tasks done, possibly none
    kAtLeastHalf = 2,   // at least half done, but not all
    kAllDone = 3,       // every task done
};
