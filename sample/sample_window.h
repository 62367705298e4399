/* The sample programs' one dialog, shared by sample_window.rc and the code. */
#pragma once

#define SAMPLE_DIALOG "Sample"
#define IDC_SAMPLE_TEXT 100
