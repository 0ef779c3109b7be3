// The dialogs at a larger scale: run by dpi_layout.sh in a Wine prefix whose
// LogPixels is VELMORA_DPI (144 for 150%, 192 for 200%). Each dialog of the
// program and of the installer, built from its template as the program
// builds it, must show every control inside its client area.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "resources/resource.h"

namespace {

int ExpectedDpi() {
    const char* text = std::getenv("VELMORA_DPI");
    return text != nullptr ? std::atoi(text) : 0;
}

INT_PTR CALLBACK QuietDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

struct ChildRects {
    HWND dialog;
    std::vector<std::pair<int, RECT>> rects;  // control id, in client coordinates
};

BOOL CALLBACK CollectChild(HWND child, LPARAM param) {
    auto* rects = reinterpret_cast<ChildRects*>(param);
    if (GetParent(child) != rects->dialog) return TRUE;  // a combo box's own edit
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, rects->dialog, reinterpret_cast<POINT*>(&r), 2);
    rects->rects.push_back({GetDlgCtrlID(child), r});
    return TRUE;
}

TEST(HighDpi, TheSystemReportsTheConfiguredScale) {
    ASSERT_NE(0, ExpectedDpi()) << "VELMORA_DPI is not set: run through dpi_layout.sh";
    // DPI aware, so the system scales nothing behind the program's back
    // (Vista's call, looked up as the headers' target may predate it). Wine
    // counts every process as aware, so this holds there even without the
    // manifest's declaration; resource_tests checks that declaration.
    using IsAware = BOOL(WINAPI*)();
    auto isAware = reinterpret_cast<IsAware>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "IsProcessDPIAware")));
    ASSERT_NE(nullptr, isAware);
    EXPECT_TRUE(isAware());
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(ExpectedDpi(), GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
}

TEST(HighDpi, EveryDialogShowsEachControlInsideItsClientArea) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    LoadLibraryA("RICHED32.DLL");  // the licence agreement's text box
    // The folder chooser's file-dialog controls that lie beyond its right
    // edge on purpose (the file dialog needs them, the user must not see them).
    const std::vector<int> chooserHidden = {
        IDC_CHOOSE_HIDDEN_BUTTON, IDC_CHOOSE_HIDDEN_CHECK, IDC_CHOOSE_FILE_NAME,
        IDC_CHOOSE_FILE_LIST,     IDC_CHOOSE_CURRENT_DIR,  IDC_CHOOSE_TYPE_LABEL,
        IDC_CHOOSE_TYPE_COMBO};
    const struct {
        int id;
        const char* name;
        std::vector<int> hidden;
    } dialogs[] = {
        {IDD_MAIN, "main window", {}},
        {IDD_ABOUTBOX, "About box", {}},
        {IDD_CONVERT_MULTIPLE, "results dialog", {}},
        {IDD_PROGRESS, "progress window", {}},
        {IDD_SELFINSTALL_DESTINATION, "destination folder", {}},
        {IDD_SELFINSTALL_MESSAGE, "progress message", {}},
        {IDD_SELFINSTALL_LICENSE, "licence agreement", {}},
        {IDD_SELFINSTALL_CHOOSE_FOLDER, "folder chooser", chooserHidden},
    };
    const double scale = ExpectedDpi() / 96.0;
    for (const auto& d : dialogs) {
        SCOPED_TRACE(d.name);
        HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(d.id), nullptr,
                                         QuietDialogProc, 0);
        ASSERT_NE(nullptr, dialog);
        RECT client;
        GetClientRect(dialog, &client);
        // The dialog grew with the scale (its font's size is in points): 100
        // dialog units are about 150 pixels at 96 DPI. The bitmap font's
        // nearest size may lag the scale a little.
        RECT units = {0, 0, 100, 100};
        MapDialogRect(dialog, &units);
        EXPECT_GE(units.right, static_cast<LONG>(150 * (1 + (scale - 1) / 2))) << "dialog units did not grow";
        ChildRects children{dialog, {}};
        EnumChildWindows(dialog, CollectChild, reinterpret_cast<LPARAM>(&children));
        EXPECT_FALSE(children.rects.empty());
        for (const auto& [id, r] : children.rects) {
            if (std::find(d.hidden.begin(), d.hidden.end(), id) != d.hidden.end()) continue;
            EXPECT_TRUE(r.left >= client.left && r.top >= client.top && r.right <= client.right &&
                        r.bottom <= client.bottom)
                << "control " << id << " at " << r.left << "," << r.top << "-" << r.right << ","
                << r.bottom << " outside " << client.right << "x" << client.bottom;
        }
        // The whole dialog fits on the screen.
        RECT window;
        GetWindowRect(dialog, &window);
        EXPECT_LE(window.right - window.left, GetSystemMetrics(SM_CXSCREEN));
        EXPECT_LE(window.bottom - window.top, GetSystemMetrics(SM_CYSCREEN));
        DestroyWindow(dialog);
    }
}

}  // namespace
