// The commands on one item's task list. Each returns what it prints on standard output; a
// failure throws CliFailure before anything is printed or left written.
#pragma once

#include <optional>
#include <string>

std::string CmdList(const std::string& itemPath, bool json);
std::string CmdAdd(const std::string& itemPath,
                   const std::string& title,
                   const std::optional<std::string>& description,
                   bool done);

struct TaskEdit {
    std::optional<std::string> title;
    std::optional<std::string> description;
    std::optional<bool> done;  // --done or --open
};
std::string CmdEdit(const std::string& itemPath, long long n, const TaskEdit& edit);
std::string CmdDone(const std::string& itemPath, long long n);
std::string CmdRemove(const std::string& itemPath, long long n);
std::string CmdRemoveAll(const std::string& itemPath);
std::string CmdMove(const std::string& itemPath, long long n, bool up);
