// The Windows half of the end-to-end test: does inside Wine what Explorer and a person do with an
// installed Pelmora, one command per run, and reports every failed expectation on stderr. The
// shell script beside it runs Setup, prepares the folders and checks the files.
//
//   e2e_driver registered INSTALL_DIR      the registration and the Apps & features entry exist
//   e2e_driver unregistered [parents-kept] they are gone (and the shared parent keys stay)
//   e2e_driver context-menu ITEM_PATH      right-click ITEM_PATH, choose "Task Management..."
//   e2e_driver drive CAPTION EXE OPS...    use the window (see window_driver.h)
//   e2e_driver overlays ITEM_PATH EXPECTED which overlays claim the item ("none", "zero", ...)
//   e2e_driver hold RELEASE_FILE           keep the extension loaded until RELEASE_FILE exists

#include <objbase.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/installer/driver_support.h"
#include "tests/installer/explorer_calls.h"
#include "tests/installer/registration_check.h"
#include "tests/installer/window_driver.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: e2e_driver registered|unregistered|context-menu|drive|overlays ...\n");
    return 2;
}

int Run(const std::vector<std::wstring>& args) {
    if (args.size() < 2) {
        return Usage();
    }
    const std::wstring& command = args[1];
    if (command == L"registered" && args.size() == 3) {
        CheckRegistered(args[2]);
    } else if (command == L"unregistered" && args.size() == 2) {
        CheckUnregistered(false);
    } else if (command == L"unregistered" && args.size() == 3 && args[2] == L"parents-kept") {
        CheckUnregistered(true);
    } else if (command == L"context-menu" && args.size() == 3) {
        ChooseTaskManagement(args[2]);
    } else if (command == L"drive" && args.size() >= 4) {
        DriveMainWindow(args[2], args[3], std::vector<std::wstring>(args.begin() + 4, args.end()));
    } else if (command == L"overlays" && args.size() == 4) {
        std::wstring claimed = ClaimingOverlays(args[2]);
        if (claimed != args[3]) {
            Fail(args[2] + L" is claimed by \"" + claimed + L"\", expected \"" + args[3] + L"\"");
        }
    } else if (command == L"hold" && args.size() == 3) {
        HoldExtension(args[2]);
    } else {
        return Usage();
    }
    std::printf("%s %s\n", ToUtf8(command).c_str(), AllPassed() ? "ok" : "FAILED");
    return AllPassed() ? 0 : 1;
}

}  // namespace

int main() {
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv) {
        return 2;
    }
    std::vector<std::wstring> args(argv, argv + count);
    LocalFree(argv);
    // Explorer's threads are apartment-threaded, and so are the extension's classes.
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return 2;
    }
    int result = Run(args);
    CoUninitialize();
    return result;
}
