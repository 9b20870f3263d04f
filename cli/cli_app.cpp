// The command line: CLI11 parses, one function per command runs, and every failure becomes one
// line on standard error with a documented exit code.
#include <CLI/CLI.hpp>

#include "cli/cli.h"
#include "cli/folder_commands.h"
#include "cli/task_commands.h"
#include "cli/transfer_commands.h"
#include "cli/tree_command.h"

#ifndef PELMORA_VERSION
#error "PELMORA_VERSION comes from the project version (cli/CMakeLists.txt)"
#endif

namespace {

constexpr char kExitCodes[] =
    "ITEM is a file or folder; its tasks live in \"pelmora.db\" in its parent folder.\n"
    "N is a task's position as \"list\" shows it, counting from 1.\n"
    "\n"
    "Exit codes:\n"
    "  0  success\n"
    "  1  the database or the status file could not be written (read-only, disk full)\n"
    "  2  usage error: unknown command or option, missing or extra argument\n"
    "  3  not found: no such file or folder, no task N, no import file\n"
    "  4  refused: a title that exists already, is empty or too long, an import file that\n"
    "     is not valid JSON, names no lists or holds a task that cannot be stored, lists\n"
    "     that would be overwritten without --replace\n"
    "  5  database busy: another program is writing to it; try again\n"
    "  6  database unreadable or crafted: not a task database, damaged, a text longer than\n"
    "     Pelmora reads, a view where a list should be, or a folder where \"pelmora.db\"\n"
    "     should be\n"
    "A command that fails prints one line on standard error and changes no file; a change\n"
    "whose tasks were saved but whose status file could not be written says so (exit 1).";

struct Arguments {
    std::string item;
    std::string folder;
    std::string title;
    std::string file;
    std::optional<std::string> description;
    std::optional<std::string> newTitle;
    std::optional<std::string> output;
    long long n = 0;
    bool json = false;
    bool done = false;
    bool open = false;
    bool all = false;
    bool up = false;
    bool down = false;
    bool replace = false;
};

CLI::App* Command(CLI::App& app, const char* name, const char* description) {
    CLI::App* command = app.add_subcommand(name, description);
    command->footer(kExitCodes);
    return command;
}

void AddItem(CLI::App* command, Arguments& args) {
    command->add_option("ITEM", args.item, "the file or folder whose tasks these are")->required();
}

void AddN(CLI::App* command, Arguments& args, bool required = true) {
    auto* option = command->add_option("N", args.n, "the task's position in the list, from 1");
    if (required) option->required();
}

void AddFolder(CLI::App* command, Arguments& args) {
    command->add_option("FOLDER", args.folder, "the folder that holds pelmora.db")->required();
}

std::string OneLineMessage(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return text;
}

}  // namespace

int RunCli(const std::vector<std::string>& arguments, const CliOutput& output) {
    CLI::App app(
        "Pelmora's task lists from a terminal: the same lists, statements and overlays "
        "as the Pelmora window.",
        "pelmora-cli");
    app.footer(kExitCodes);
    app.set_version_flag("--version", std::string("pelmora-cli ") + PELMORA_VERSION);
    app.require_subcommand(1);
    Arguments args;

    CLI::App* list = Command(app, "list", "Show an item's tasks, by priority");
    AddItem(list, args);
    list->add_flag("--json", args.json, "print JSON");

    CLI::App* add = Command(app, "add", "Add a task at the end of an item's list");
    AddItem(add, args);
    add->add_option("TITLE", args.title, "the task's title")->required();
    add->add_option("--description", args.description, "the task's description");
    add->add_flag("--done", args.done, "add it marked done");

    CLI::App* edit = Command(app, "edit", "Change a task's title, description or done mark");
    AddItem(edit, args);
    AddN(edit, args);
    edit->add_option("--title", args.newTitle, "the new title");
    edit->add_option("--description", args.description, "the new description (\"\" for none)");
    auto* doneFlag = edit->add_flag("--done", args.done, "mark it done");
    auto* openFlag = edit->add_flag("--open", args.open, "mark it not done");
    doneFlag->excludes(openFlag);

    CLI::App* done = Command(app, "done", "Mark a task done with today's date");
    AddItem(done, args);
    AddN(done, args);

    CLI::App* remove = Command(app, "remove", "Remove one task (N) or every task (--all)");
    AddItem(remove, args);
    AddN(remove, args, false);
    remove->add_flag("--all", args.all, "remove every task of the item");

    CLI::App* move = Command(app, "move", "Move a task one place up or down");
    AddItem(move, args);
    AddN(move, args);
    auto* upFlag = move->add_flag("--up", args.up, "one place up (higher priority)");
    auto* downFlag = move->add_flag("--down", args.down, "one place down");
    upFlag->excludes(downFlag);

    CLI::App* status = Command(app, "status",
                               "Every item of a folder that has tasks: counts and overlay; and "
                               "lists no item of the folder claims");
    AddFolder(status, args);
    status->add_flag("--json", args.json, "print JSON");

    CLI::App* rebuild = Command(app, "rebuild",
                                "Rewrite the folder's pelmora.ini from its database, as \"Rebuild "
                                "Icon Overlays\" does");
    AddFolder(rebuild, args);

    CLI::App* exportCmd = Command(app, "export", "Print every task list of a folder as JSON");
    AddFolder(exportCmd, args);
    exportCmd->add_option("-o,--output", args.output, "write the JSON to this file instead");
    exportCmd->add_flag("--json", args.json, "accepted for symmetry: export always prints JSON");

    CLI::App* importCmd =
        Command(app, "import", "Add the task lists of a JSON export to a folder, all or none");
    AddFolder(importCmd, args);
    importCmd->add_option("FILE", args.file, "the JSON document")->required();
    importCmd->add_flag("--replace", args.replace,
                        "replace the tasks of lists the folder has already");

    CLI::App* tree = Command(app, "tree",
                             "Every item below a folder with open tasks, and those tasks; the "
                             "lists are read as they are found");
    TreeArguments treeArgs;
    tree->add_option("FOLDER", treeArgs.folder, "the folder whose tree is read")->required();
    auto* treeOpen = tree->add_flag("--open",
                                    "items with open tasks and their open tasks (the "
                                    "default)");
    auto* treeAll = tree->add_flag("--all", treeArgs.all, "every list, with every task");
    treeOpen->excludes(treeAll);
    auto* treeJson = tree->add_flag("--json", treeArgs.json, "print one JSON document at the end");
    auto* treeJsonl = tree->add_flag("--jsonl", treeArgs.jsonl,
                                     "print one JSON object per list, a line each, as it is read");
    treeJson->excludes(treeJsonl);
    tree->add_option("--depth", treeArgs.depth,
                     "walk at most N levels below FOLDER (0: FOLDER only)")
        ->type_name("N")
        ->check(CLI::NonNegativeNumber);
    tree->add_option("--exclude", treeArgs.exclude,
                     "do not walk folders whose name matches GLOB (* and ?); may be repeated")
        ->type_name("GLOB")
        ->allow_extra_args(false);
    tree->add_flag("--include-hidden", treeArgs.includeHidden,
                   "also walk hidden folders, .git and node_modules");

    std::string printed;
    int code = kExitOk;
    try {
        // A first word that names no command is said to be one, rather than reported as a
        // missing command.
        if (arguments.size() > 1 && !arguments[1].empty() && arguments[1][0] != '-') {
            bool known = false;
            for (const CLI::App* command : app.get_subcommands({})) {
                known = known || command->check_name(arguments[1]);
            }
            if (!known) {
                throw CliFailure(kExitUsage, "\"" + arguments[1] +
                                                 "\" is not a command (pelmora-cli --help lists "
                                                 "the commands)");
            }
        }
        std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
        if (!reversed.empty()) reversed.pop_back();  // the program's own name
        app.parse(std::move(reversed));

        if (list->parsed()) {
            printed = CmdList(args.item, args.json);
        } else if (add->parsed()) {
            printed = CmdAdd(args.item, args.title, args.description, args.done);
        } else if (edit->parsed()) {
            TaskEdit change{args.newTitle, args.description, std::nullopt};
            if (args.done || args.open) change.done = args.done;
            if (!change.title && !change.description && !change.done) {
                throw CliFailure(kExitUsage,
                                 "edit: nothing to change; give --title, --description, --done "
                                 "or --open");
            }
            printed = CmdEdit(args.item, args.n, change);
        } else if (done->parsed()) {
            printed = CmdDone(args.item, args.n);
        } else if (remove->parsed()) {
            const bool hasN = remove->get_option("N")->count() > 0;
            if (hasN == args.all) {
                throw CliFailure(kExitUsage, "remove: give either N or --all");
            }
            printed = args.all ? CmdRemoveAll(args.item) : CmdRemove(args.item, args.n);
        } else if (move->parsed()) {
            if (!args.up && !args.down) throw CliFailure(kExitUsage, "move: give --up or --down");
            printed = CmdMove(args.item, args.n, args.up);
        } else if (status->parsed()) {
            printed = CmdStatus(args.folder, args.json);
        } else if (rebuild->parsed()) {
            printed = CmdRebuild(args.folder);
        } else if (exportCmd->parsed()) {
            printed = CmdExport(args.folder, args.output);
        } else if (importCmd->parsed()) {
            printed = CmdImport(args.folder, args.file, args.replace);
        } else if (tree->parsed()) {
            code = CmdTree(treeArgs, output);
        }
    } catch (const CLI::CallForHelp&) {
        output.out(app.help());
        return kExitOk;
    } catch (const CLI::CallForAllHelp&) {
        output.out(app.help("", CLI::AppFormatMode::All));
        return kExitOk;
    } catch (const CLI::CallForVersion& version) {
        output.out(std::string(version.what()) + "\n");
        return kExitOk;
    } catch (const CLI::ParseError& error) {
        output.err("pelmora-cli: " + OneLineMessage(error.what()) +
                   " (pelmora-cli --help shows the usage)\n");
        return kExitUsage;
    } catch (const CliFailure& failure) {
        output.err("pelmora-cli: " + OneLineMessage(failure.what()) + "\n");
        return failure.code();
    } catch (const std::exception& error) {
        output.err("pelmora-cli: " + OneLineMessage(error.what()) + "\n");
        return kExitFailed;
    }
    if (!printed.empty()) output.out(printed);
    return code;
}
