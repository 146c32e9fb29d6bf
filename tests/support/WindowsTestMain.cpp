// The entry point of the window tests: the common controls registered before any window is made.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

int wmain(int argc, wchar_t** argv) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
