// Drives a running Pelmora main window the way a person would use it: through its menu commands,
// its task editor and its list, and closes it.
#pragma once

#include <string>
#include <vector>

// Operations, done in order once the main window with the given caption has appeared:
//   expect=T1|T2|...  the list shows exactly these titles, top to bottom ("expect=" for none)
//   add=Title         "Add New Task...", type the title, Save
//   done=N            select entry N (from 0) and "Mark As Done"
//   close             close the window; the program must end with exit code 0
// expectedImage is the program file that must own the window. Failures go through Fail().
void DriveMainWindow(const std::wstring& caption,
                     const std::wstring& expectedImage,
                     const std::vector<std::wstring>& operations);
