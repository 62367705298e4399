/* The names of the page templates and the ids of their controls, shared by
   setup.rc, the pages, the progress code and the test driver. Plain #defines:
   the resource compiler reads this file too. Template names are stored upper
   case in the resources; finding one ignores case. */
#pragma once

#define LICENSE_PAGE "License"
#define DESTINATION_PAGE "Main"
#define JOINING_PAGE "IProgress"
#define UNPACKING_PAGE "Progress"
#define GROUP_PAGE "Group"
#define OPTIONS_PAGE "Replace"

/* The logo, a plain bitmap; the agreement's text, packed (resources/pack-resources.sh). */
#define LOGO_BITMAP "LOGO"
#define AGREEMENT_TEXT 2
#define SETUP_ICON 1

/* OK (or "I Agree") and Cancel (or "Exit") are the system's IDOK and IDCANCEL. */
#define IDC_LABEL 65535 /* a plain label, which has no id of its own */

#define IDC_LICENSE_FOOTER 101
#define IDC_LICENSE_HEADER 102
#define IDC_DESTINATION_EDIT 104
#define IDC_PROGRESS_FRAME 101
#define IDC_GROUP_PROMPT 101
#define IDC_GROUP_EDIT 102
#define IDC_TASK_MANAGER_TEXT 101
#define IDC_SHELL_TEXT 102
#define IDC_TASK_MANAGER_BOX 103
#define IDC_SHELL_BOX 104
