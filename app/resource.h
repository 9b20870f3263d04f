// Resource and control identifiers of the task manager program. The numbers are fixed: the
// shell extension starts this program, and test drivers find its controls by these ids.
#pragma once

// Dialog templates, menu, bitmap and icon group.
#define IDD_MAIN 101
#define IDR_MAIN_MENU 102
#define IDD_EDITOR 103
#define IDB_ABOUT 104
#define IDD_ABOUT 105
#define IDI_PELMORA 106
// The about picture drawn for displays at 150% and 200%.
#define IDB_ABOUT_150 107
#define IDB_ABOUT_200 108
#define IDD_RECOVER 120
#define IDD_BELOW 130

// Controls.
#define IDC_TASKLIST 1001
#define IDC_TITLE 1002
#define IDC_DESCRIPTION 1003
#define IDC_DONE 1004
#define IDC_ABOUT_PICTURE 1005
#define IDC_RECOVER_INTRO 1101
#define IDC_RECOVER_LIST 1102
#define IDC_RECOVER_OTHER 1103
#define IDC_BELOW_FILTER_LABEL 1201
#define IDC_BELOW_FILTER 1202
#define IDC_BELOW_LIST 1203
#define IDC_BELOW_PROGRESS 1204
#define IDC_BELOW_REFRESH 1205
#define IDC_BELOW_STOP 1206

// Main window commands (menu bar and shortcuts).
#define IDM_ADD_TASK 40001
#define IDM_EXIT 40003
#define IDM_REMOVE_SELECTED 40004
#define IDM_REMOVE_ALL 40005
#define IDM_MARK_DONE 40006
#define IDM_ABOUT 40007
#define IDM_EDIT_SELECTED 40008
#define IDM_INCREASE_PRIORITY 40009
#define IDM_DECREASE_PRIORITY 40010
#define IDM_REBUILD_OVERLAYS 40014
#define IDM_CLEAR_UNREFERENCED 40015
#define IDM_RECOVER_TASKS 40020
#define IDM_TASKS_BELOW 40021

// The one item of the right-click menu; returned by TrackPopupMenu, never sent as a command.
#define IDM_CONTEXT_MARK_DONE 1
