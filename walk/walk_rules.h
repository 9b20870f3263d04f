// Which folders the walk enters, decided the same way on every platform. Shared by the walk's
// platform files only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "walk/folder_walk.h"

// `name` with its case folded as the platform's file system folds it (unchanged on POSIX).
std::u16string FoldNameCase(std::u16string_view name);

// Whether `name` is the task database's file name, as the platform's file system compares names.
bool IsDatabaseName(std::u16string_view name);
bool IsDatabaseName(std::string_view utf8Name);

class WalkRules {
public:
    explicit WalkRules(const WalkOptions& options);

    // Whether the walk enters the folder `name`, found at `depth` below the root; `hidden` is the
    // folder's hidden or system attribute (on POSIX: its name starts with a dot).
    bool Enters(std::u16string_view name, bool hidden, int depth) const;
    bool Enters(std::string_view utf8Name, int depth) const;

private:
    template <typename Char>
    bool EntersByName(std::basic_string_view<Char> name, bool hidden, int depth) const;
    bool Excluded(std::u16string_view name) const;

    int depth_;
    bool includeHidden_;
    std::vector<std::u16string> exclude_;  // folded
};
