// The compiled resources, linked into this executable as they are into the
// program: every dialog template read back from its raw bytes and compared with
// the tables below, the string table, the icons, the version block, the manifest.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "resources/resource.h"

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;

struct ExpectedItem {
    const char* cls;   // as the table names it; ordinal classes by their names
    int id;
    const char* text;  // "#128" stands for a reference to icon 128
    short x, y, cx, cy;
    DWORD style;
    DWORD exStyle;
};

struct ExpectedDialog {
    int id;
    const char* caption;
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
    std::vector<ExpectedItem> items;
};

struct Item {
    std::string cls, text;
    int id = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD style = 0, exStyle = 0;
};

struct Dialog {
    bool extended = false;
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string menu, cls, caption, face;
    WORD pointSize = 0;
    std::vector<Item> items;
};

// Reads the little-endian words of a template; texts come out in code page 1252.
class TemplateReader {
public:
    TemplateReader(const BYTE* data, size_t size) : m_data(data), m_size(size) {}

    WORD Word() {
        const BYTE* p = Take(2);
        return static_cast<WORD>(p[0] | (p[1] << 8));
    }
    DWORD Dword() {
        WORD low = Word();
        return low | (static_cast<DWORD>(Word()) << 16);
    }
    short Short() { return static_cast<short>(Word()); }
    void AlignDword() { m_pos = (m_pos + 3) & ~size_t(3); }
    bool AtEnd() const { return m_pos >= m_size; }

    // A string or an ordinal (0xFFFF then the number, shown as "#number").
    std::string NameOrOrdinal() {
        if (Peek() == 0xFFFF) {
            Word();
            return "#" + std::to_string(Word());
        }
        return String();
    }
    std::string String() {
        std::wstring wide;
        for (WORD c = Word(); c != 0; c = Word()) wide += static_cast<wchar_t>(c);
        if (wide.empty()) return std::string();
        char buf[1024] = {};
        BOOL lossy = FALSE;
        int n = WideCharToMultiByte(1252, 0, wide.c_str(), static_cast<int>(wide.size()), buf,
                                    sizeof buf, nullptr, &lossy);
        EXPECT_FALSE(lossy) << "character outside code page 1252";
        return std::string(buf, n);
    }
    void Skip(size_t n) { Take(n); }

private:
    WORD Peek() { return m_pos + 2 <= m_size ? static_cast<WORD>(m_data[m_pos] | (m_data[m_pos + 1] << 8)) : 0; }
    const BYTE* Take(size_t n) {
        if (m_pos + n > m_size) throw std::runtime_error("template ends early");
        const BYTE* p = m_data + m_pos;
        m_pos += n;
        return p;
    }
    const BYTE* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

std::string ClassName(std::string cls) {
    static const char* const kOrdinals[] = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX"};
    if (cls.size() > 1 && cls[0] == '#') {
        int ordinal = std::stoi(cls.substr(1));
        if (ordinal >= 0x80 && ordinal <= 0x85) return kOrdinals[ordinal - 0x80];
    }
    return cls;
}

std::pair<const BYTE*, DWORD> RawResource(LPCSTR type, int id) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (!info) return {nullptr, 0};
    HGLOBAL handle = LoadResource(module, info);
    return {static_cast<const BYTE*>(LockResource(handle)), SizeofResource(module, info)};
}

Dialog ReadDialog(int id) {
    auto [data, size] = RawResource(MAKEINTRESOURCEA(5) /* RT_DIALOG */, id);
    if (!data) throw std::runtime_error("no dialog template " + std::to_string(id));
    TemplateReader r(data, size);
    Dialog d;
    WORD count = 0;
    d.extended = reinterpret_cast<const WORD*>(data)[1] == 0xFFFF;
    if (d.extended) {
        r.Word();
        r.Word();
        r.Dword();  // help id
        d.exStyle = r.Dword();
        d.style = r.Dword();
    } else {
        d.style = r.Dword();
        d.exStyle = r.Dword();
    }
    count = r.Word();
    d.x = r.Short();
    d.y = r.Short();
    d.cx = r.Short();
    d.cy = r.Short();
    d.menu = r.NameOrOrdinal();
    d.cls = r.NameOrOrdinal();
    d.caption = r.String();
    if (d.style & DS_SETFONT) {
        d.pointSize = r.Word();
        if (d.extended) r.Skip(4);  // weight, italic, character set
        d.face = r.String();
    }
    for (WORD i = 0; i < count; ++i) {
        r.AlignDword();
        Item item;
        if (d.extended) {
            r.Dword();  // help id
            item.exStyle = r.Dword();
            item.style = r.Dword();
        } else {
            item.style = r.Dword();
            item.exStyle = r.Dword();
        }
        item.x = r.Short();
        item.y = r.Short();
        item.cx = r.Short();
        item.cy = r.Short();
        if (d.extended) {
            item.id = static_cast<int>(r.Dword());
        } else {
            WORD id16 = r.Word();
            item.id = id16 == 0xFFFF ? -1 : id16;
        }
        item.cls = ClassName(r.NameOrOrdinal());
        item.text = r.NameOrOrdinal();
        WORD extra = r.Word();
        r.Skip(extra);
        d.items.push_back(item);
    }
    return d;
}

void ExpectDialog(const ExpectedDialog& dialog) {
    SCOPED_TRACE("dialog template " + std::to_string(dialog.id));
    Dialog d;
    ASSERT_NO_THROW(d = ReadDialog(dialog.id));
    EXPECT_EQ(dialog.style, d.style) << std::hex;
    EXPECT_EQ(dialog.exStyle, d.exStyle);
    EXPECT_EQ(dialog.x, d.x);
    EXPECT_EQ(dialog.y, d.y);
    EXPECT_EQ(dialog.cx, d.cx);
    EXPECT_EQ(dialog.cy, d.cy);
    EXPECT_EQ("", d.menu);
    EXPECT_EQ("", d.cls);
    EXPECT_EQ(dialog.caption, d.caption);
    EXPECT_EQ(8, d.pointSize);
    EXPECT_EQ("MS Sans Serif", d.face);
    ASSERT_EQ(dialog.items.size(), d.items.size());
    for (size_t i = 0; i < dialog.items.size(); ++i) {
        const ExpectedItem& want = dialog.items[i];
        const Item& got = d.items[i];
        SCOPED_TRACE("control " + std::to_string(i) + " (id " + std::to_string(want.id) + ")");
        // Windows looks window classes up without regard to case.
        EXPECT_EQ(0, lstrcmpiA(want.cls, got.cls.c_str())) << want.cls << " vs " << got.cls;
        EXPECT_EQ(want.id, got.id);
        EXPECT_EQ(want.text, got.text);
        EXPECT_EQ(want.x, got.x);
        EXPECT_EQ(want.y, got.y);
        EXPECT_EQ(want.cx, got.cx);
        EXPECT_EQ(want.cy, got.cy);
        EXPECT_EQ(want.style, got.style) << std::hex << "want 0x" << want.style << " got 0x" << got.style;
        EXPECT_EQ(want.exStyle, got.exStyle);
    }
}

const ExpectedDialog kAboutBox = {
    IDD_ABOUTBOX, "About Orvane Zenvero", kDialogStyle, 0, 0, 0, 260, 161, {
        {"STATIC", -1, "#128", 7, 7, 20, 20, kChild | SS_ICON, 0},
        {"STATIC", 1006, "Orvane Zenvero\x99", 40, 7, 119, 10, kChild | WS_GROUP | SS_LEFT | SS_NOPREFIX, 0},
        {"BUTTON", IDOK, "OK", 221, 7, 32, 14, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 0},
        {"STATIC", 1007, "v", 40, 17, 121, 8, kChild | WS_GROUP | SS_LEFT, 0},
        {"STATIC", -1,
         "Replaces the tabs in text files and on the clipboard with spaces.\n"
         "Copyright \xA9 Orvane.  All rights reserved.",
         40, 33, 213, 24, kChild | WS_GROUP | SS_LEFT, 0},
        {"STATIC", -1,
         "Questions and comments about Orvane Zenvero are welcome.\n"
         "Readme.txt, installed with the program, tells how to reach Orvane.",
         40, 121, 213, 32, kChild | WS_GROUP | SS_LEFT, 0},
    }};

const ExpectedDialog kMainDialog = {
    IDD_MAIN, "Orvane Zenvero", 0x90C800C0, WS_EX_APPWINDOW, 0, 0, 340, 197, {
        {"STATIC", -1, "&Tab locations:", 7, 30, 56, 8, 0x50020000, 0},
        {"EDIT", 1004, "", 63, 28, 32, 14, 0x50810080, 0},
        {"msctls_updown32", 1008, "Spin1", 107, 28, 12, 14, 0x500000B6, 0},
        {"STATIC", -1, "characters", 97, 30, 48, 8, 0x50020000, 0},
        {"BUTTON", 1020, "&Leading tabs only", 155, 30, 80, 10, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0},
        {"BUTTON", 1010, "&Convert Clipboard", 7, 50, 90, 16, 0x50010000, 0},
        {"STATIC", -1, "&Source file name with tabs:", 7, 74, 212, 8, 0x50020000, 0},
        {"COMBOBOX", 1005, "", 7, 83, 272, 100, 0x50210042, 0},
        {"BUTTON", 1001, "&Browse...", 283, 83, 50, 14, 0x50010000, 0},
        {"STATIC", -1, "&Destination file name to contain spaces:", 7, 99, 212, 8, 0x50020000, 0},
        {"COMBOBOX", 1006, "", 7, 108, 272, 100, 0x50210042, 0},
        {"BUTTON", 1003, "Br&owse...", 283, 108, 50, 14, 0x50010000, 0},
        {"BUTTON", 1018, "Convert &File", 7, 124, 90, 16, 0x50010000, 0},
        {"STATIC", -1, "Fil&e names to convert (c:\\folder\\*.txt):", 7, 148, 212, 8, 0x50020000, 0},
        {"COMBOBOX", 1015, "", 7, 157, 272, 30, 0x50210102, 0},
        {"BUTTON", 1021, "Include s&ubfolders", 105, 177, 110, 10, kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 0},
        {"BUTTON", 3, "Convert &Multiple Files", 7, 173, 90, 16, 0x50010000, 0},
        {"BUTTON", 2, "E&xit", 7, 7, 50, 13, 0x50010000, 0},
        {"BUTTON", 1009, "&About...", 115, 7, 50, 13, 0x50010000, 0},
        {"BUTTON", 57670, "&Help", 169, 7, 50, 13, 0x50010000, 0},
    }};

const ExpectedDialog kConvertMultiple = {
    IDD_CONVERT_MULTIPLE, "Convert Multiple Files", 0x80C800C0, 0, 0, 0, 300, 180, {
        {"BUTTON", 1, "&Yes", 93, 159, 50, 14, 0x50010001, 0},
        {"BUTTON", 2, "&No", 147, 159, 50, 14, 0x50010000, 0},
        {"STATIC", -1, "#128", 7, 7, 21, 20, 0x50000003, 0},
        {"EDIT", 1017, "", 40, 7, 253, 128, 0x50A10884, 0},
        {"STATIC", -1, "Do you want to convert more files?", 40, 143, 253, 8, 0x50020000, 0},
    }};

// The progress window of a multiple-file run: modeless, shown when the run lasts.
const ExpectedDialog kProgress = {
    IDD_PROGRESS, "Converting Files", 0x80C800C0, 0, 0, 0, 240, 58, {
        {"STATIC", -1, "Converting:", 7, 7, 226, 8, kChild | WS_GROUP | SS_LEFT, 0},
        {"STATIC", 1022, "", 7, 17, 226, 8, kChild | SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_PATHELLIPSIS, 0},
        {"STATIC", 1023, "", 7, 29, 170, 8, kChild | WS_GROUP | SS_LEFT, 0},
        {"BUTTON", IDCANCEL, "Cancel", 183, 37, 50, 14, kChild | WS_TABSTOP | BS_PUSHBUTTON, 0},
    }};

constexpr DWORD kText = kChild | SS_LEFT | WS_GROUP;
constexpr DWORD kRightText = kChild | SS_RIGHT | WS_GROUP;
constexpr DWORD kPush = kChild | BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kDefPush = kChild | BS_DEFPUSHBUTTON | WS_TABSTOP;
constexpr DWORD kIcon = kChild | SS_ICON;

const ExpectedDialog kDestination = {
    IDD_SELFINSTALL_DESTINATION, "Choose Destination Location", 0x80C800C0, 0, 0, 0, 294, 199, {
        {"STATIC", 1013,
         "Setup will install the %s files in the following folder.  If the folder does not exist, it will be created.",
         40, 7, 247, 16, kText, 0},
        {"STATIC", -1,
         "To install to this folder, choose \"Install\".\nTo select another folder to install the files into, "
         "choose \"Browse\" then select a different folder.\nTo quit setup, choose \"Cancel\".",
         7, 35, 280, 32, kText, 0},
        {"BUTTON", -1, "Destination Folder", 7, 75, 280, 30, kChild | BS_GROUPBOX, 0},
        {"BUTTON", 1005, "B&rowse...", 230, 85, 50, 14, kPush, 0},
        {"EDIT", 1014, "", 15, 87, 212, 12, kChild | ES_AUTOHSCROLL | ES_READONLY | WS_TABSTOP, 0},
        {"STATIC", -1, "Space Needed:", 7, 113, 64, 8, kText, 0},
        {"STATIC", 1001, "0", 87, 113, 64, 8, kRightText, 0},
        {"STATIC", -1, "Space Available:", 7, 121, 64, 8, kText, 0},
        {"STATIC", 1003, "d", 73, 121, 12, 8, kText, 0},
        {"STATIC", 1002, "0", 87, 121, 64, 8, kRightText, 0},
        {"STATIC", 1009, "Windows System Folder", 7, 135, 152, 8, kText, 0},
        {"STATIC", 1010, "Space Needed:", 7, 145, 64, 8, kText, 0},
        {"STATIC", 1004, "0", 87, 145, 64, 8, kRightText, 0},
        {"STATIC", 1011, "Space Available:", 7, 153, 64, 8, kText, 0},
        {"STATIC", 1007, "d", 73, 153, 12, 8, kText, 0},
        {"STATIC", 1008, "0", 87, 153, 64, 8, kRightText, 0},
        {"BUTTON", 1, "&Install", 183, 178, 50, 14, kDefPush, 0},
        {"BUTTON", 2, "Cancel", 237, 178, 50, 14, kPush, 0},
        {"STATIC", -1, "#137", 7, 7, 20, 20, kIcon, 0},
    }};

const ExpectedDialog kMessage = {
    IDD_SELFINSTALL_MESSAGE, "", 0x900000C0, 0, 0, 0, 169, 30, {
        {"STATIC", -1, "#137", 7, 7, 20, 20, kIcon | SS_REALSIZECONTROL, 0},
        {"STATIC", 1015, "m", 40, 11, 122, 8, kText, 0},
    }};

const ExpectedDialog kLicense = {
    IDD_SELFINSTALL_LICENSE, "License Agreement", 0x80C800C0, 0, 0, 0, 294, 199, {
        {"BUTTON", 2, "&No", 237, 178, 50, 14, kDefPush, 0},
        {"BUTTON", 1, "&Yes", 183, 178, 50, 14, kPush, 0},
        {"STATIC", -1,
         "Please read the following License Agreement.  Press the PAGE DOWN key to view the rest of the agreement.",
         40, 7, 247, 16, kText, 0},
        {"STATIC", 1002,
         "Do you accept the all terms of the License Agreement?  If you choose \"No\", %s will close.  "
         "You must accept this License Agreement to use %s.",
         7, 154, 279, 24, kText, 0},
        {"STATIC", 1005, "", 7, 35, 280, 111, 0x40000007, 0},
        {"STATIC", -1, "#137", 7, 7, 20, 20, kIcon, 0},
    }};

constexpr DWORD kFolderList = kChild | LBS_NOTIFY | LBS_SORT | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS |
                              LBS_DISABLENOSCROLL | WS_BORDER | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD kNameEdit = kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | ES_OEMCONVERT;

const ExpectedDialog kChooseFolder = {
    IDD_SELFINSTALL_CHOOSE_FOLDER, "Choose Folder", 0x80C800C0, 0, 109, 35, 164, 153, {
        {"STATIC", 1090, "&Folder:", 7, 7, 76, 10, kText, 0},
        {"EDIT", 1014, "", 7, 17, 150, 14, kNameEdit, 0},
        {"STATIC", -1, "F&olders:", 7, 38, 92, 10, kText, 0},
        {"LISTBOX", 1121, "", 7, 48, 92, 75, kFolderList, 0},
        {"STATIC", 1091, "Dri&ves:", 7, 124, 92, 9, kText, 0},
        {"COMBOBOX", 1137, "", 7, 134, 92, 68,
         kChild | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_AUTOHSCROLL | CBS_SORT | CBS_HASSTRINGS | WS_BORDER |
             WS_VSCROLL | WS_TABSTOP,
         0},
        {"BUTTON", 1, "OK", 107, 48, 50, 14, kChild | BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 0},
        {"BUTTON", 2, "Cancel", 107, 66, 50, 14, kChild | BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, 0},
        {"BUTTON", 1038, "h", 170, 97, 50, 14, kChild | BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, 0},
        {"BUTTON", 1040, "r", 225, 88, 49, 12, kChild | BS_AUTOCHECKBOX | WS_GROUP | WS_TABSTOP, 0},
        {"EDIT", 1152, "", 166, 18, 95, 12, kNameEdit, 0},
        {"LISTBOX", 1120, "", 177, 26, 92, 68, kFolderList, 0},
        {"STATIC", 1088, "", 171, 137, 262, 9, kChild | SS_NOPREFIX | WS_GROUP, 0},
        {"STATIC", 1089, "List Files of &Type:", 168, 114, 84, 9, kText, 0},
        {"COMBOBOX", 1136, "", 169, 124, 91, 36,
         kChild | CBS_DROPDOWNLIST | CBS_AUTOHSCROLL | WS_BORDER | WS_VSCROLL | WS_TABSTOP, 0},
    }};

INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

class DialogTemplateTest : public ::testing::TestWithParam<const ExpectedDialog*> {};

TEST_P(DialogTemplateTest, MatchesItsTable) { ExpectDialog(*GetParam()); }

// Each template also has to make a real dialog: every control's class exists
// and every icon static finds its icon.
TEST_P(DialogTemplateTest, CreatesAWindowWithEveryControl) {
    const ExpectedDialog& dialog = *GetParam();
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&icc);
    HWND dlg = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(dialog.id), nullptr,
                                  PlainDialogProc, 0);
    ASSERT_NE(nullptr, dlg) << "error " << GetLastError();
    std::vector<HWND> children;
    for (HWND child = GetWindow(dlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    ASSERT_EQ(dialog.items.size(), children.size());
    for (size_t i = 0; i < children.size(); ++i) {
        const ExpectedItem& want = dialog.items[i];
        SCOPED_TRACE("control " + std::to_string(i));
        if (want.id != -1) {
            EXPECT_EQ(children[i], GetDlgItem(dlg, want.id));
        }
        if (want.text[0] == '#') {
            EXPECT_NE(0, SendMessageA(children[i], STM_GETICON, 0, 0)) << "icon " << want.text;
        } else if (strcmp(want.cls, "STATIC") == 0 || strcmp(want.cls, "BUTTON") == 0) {
            // Compared as Unicode, whatever the system's ANSI code page.
            wchar_t want16[512] = {}, text[512] = {};
            MultiByteToWideChar(1252, 0, want.text, -1, want16, 512);
            GetWindowTextW(children[i], text, 512);
            EXPECT_EQ(std::wstring(want16), std::wstring(text));
        }
    }
    DestroyWindow(dlg);
}

INSTANTIATE_TEST_SUITE_P(Templates, DialogTemplateTest,
                         ::testing::Values(&kAboutBox, &kMainDialog, &kConvertMultiple, &kProgress, &kDestination,
                                           &kMessage, &kLicense, &kChooseFolder),
                         [](const ::testing::TestParamInfo<const ExpectedDialog*>& info) {
                             return "Template" + std::to_string(info.param->id);
                         });

TEST(StringTable, HoldsTheProgramsTexts) {
    const struct {
        UINT id;
        const char* text;
    } cases[] = {
        {IDS_OLE_INIT_FAILED,
         "OLE initialization failed.  Make sure that the OLE libraries are the correct version."},
        {IDS_APP_TITLE, "Orvane Zenvero"},
        {IDS_HELP_FAILED, "Failed to launch help."},
    };
    for (const auto& c : cases) {
        char buf[256] = {};
        EXPECT_EQ(static_cast<int>(strlen(c.text)), LoadStringA(GetModuleHandleA(nullptr), c.id, buf, sizeof buf));
        EXPECT_STREQ(c.text, buf) << "string " << c.id;
    }
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colorCount, reserved;
    WORD planes, bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)

class IconGroupTest : public ::testing::TestWithParam<int> {};

// 32 and 16 pixels in 16 colours for old displays, 48 (bitmap) and 256 (PNG)
// pixels in full colour with alpha for today's Explorer.
TEST_P(IconGroupTest, Holds16ColourAndFullColourImagesOfEachSize) {
    auto [data, size] = RawResource(RT_GROUP_ICON, GetParam());
    ASSERT_NE(nullptr, data);
    ASSERT_GE(size, 6u);
    const WORD* header = reinterpret_cast<const WORD*>(data);
    ASSERT_EQ(1, header[1]);  // icons, not cursors
    ASSERT_EQ(4, header[2]);
    ASSERT_EQ(6 + 4 * sizeof(GroupIconEntry), size);
    const auto* entries = reinterpret_cast<const GroupIconEntry*>(data + 6);
    std::vector<int> sizesSeen;
    for (int i = 0; i < 4; ++i) {
        const GroupIconEntry& e = entries[i];
        const int pixels = e.width == 0 ? 256 : e.width;
        SCOPED_TRACE("image " + std::to_string(pixels));
        sizesSeen.push_back(pixels);
        EXPECT_EQ(e.width, e.height);
        const bool sixteenColours = pixels <= 32;
        EXPECT_EQ(sixteenColours ? 16 : 0, e.colorCount);
        EXPECT_EQ(sixteenColours ? 4 : 32, e.bitCount);
        auto [image, imageSize] = RawResource(RT_ICON, e.id);
        ASSERT_NE(nullptr, image);
        EXPECT_EQ(e.bytesInRes, imageSize);
        if (pixels == 256) {
            ASSERT_GE(imageSize, 24u);
            EXPECT_EQ(0, memcmp(image, "\x89PNG\r\n\x1a\n", 8));
            // The PNG header's size, big-endian.
            EXPECT_EQ(0, memcmp(image + 16, "\0\0\1\0\0\0\1\0", 8));
        } else {
            BITMAPINFOHEADER bih;
            memcpy(&bih, image, sizeof bih);
            EXPECT_EQ(pixels, bih.biWidth);
            EXPECT_EQ(2 * pixels, bih.biHeight);  // colour rows and mask rows
            EXPECT_EQ(e.bitCount, bih.biBitCount);
        }
        HICON icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(GetParam()),
                                                   IMAGE_ICON, pixels, pixels, 0));
        EXPECT_NE(nullptr, icon);
        if (icon) DestroyIcon(icon);
    }
    EXPECT_EQ((std::vector<int>{32, 16, 48, 256}), sizesSeen);
}

// The colour bits of an icon drawn at 32 x 32, to tell icons apart.
std::vector<BYTE> IconPixels(HICON icon) {
    std::vector<BYTE> bits(32 * 32 * 4);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 32;
    info.bmiHeader.biHeight = -32;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    DrawIconEx(dc, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
    GdiFlush();
    memcpy(bits.data(), pixels, bits.size());
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return bits;
}

// The shell numbers a file's icons as it enumerates the icon groups: the
// uninstall link's icon number 2 must be the uninstall icon of the built
// program, the program's own links' number 0 the program's icon.
TEST(ProgramIcons, TheShellFindsTheProgramSetupAndUninstallIconsAsNumbers0To2) {
    std::string exe = "Z:" VELMORA_EXE_FILE;
    for (char& c : exe)
        if (c == '/') c = '\\';
    ASSERT_EQ(3u, ExtractIconExA(exe.c_str(), -1, nullptr, nullptr, 0)) << exe;
    HMODULE program = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, program);
    const int ids[] = {IDR_MAINFRAME, IDI_SETUP, IDI_UNINSTALL};
    for (int index = 0; index < 3; ++index) {
        SCOPED_TRACE(index);
        HICON large = nullptr;
        ASSERT_EQ(1u, ExtractIconExA(exe.c_str(), index, &large, nullptr, 1));
        ASSERT_NE(nullptr, large);
        HICON byId = static_cast<HICON>(
            LoadImageA(program, MAKEINTRESOURCEA(ids[index]), IMAGE_ICON, 32, 32, 0));
        ASSERT_NE(nullptr, byId);
        EXPECT_TRUE(IconPixels(large) == IconPixels(byId)) << "icon " << index << " is not " << ids[index];
        for (int other : ids) {
            if (other == ids[index]) continue;
            HICON otherIcon = static_cast<HICON>(
                LoadImageA(program, MAKEINTRESOURCEA(other), IMAGE_ICON, 32, 32, 0));
            EXPECT_FALSE(IconPixels(large) == IconPixels(otherIcon)) << "icon " << index << " looks like " << other;
            DestroyIcon(otherIcon);
        }
        DestroyIcon(byId);
        DestroyIcon(large);
    }
    HICON none = nullptr;
    EXPECT_EQ(0u, ExtractIconExA(exe.c_str(), 3, &none, nullptr, 1));
    FreeLibrary(program);
}

INSTANTIATE_TEST_SUITE_P(Icons, IconGroupTest, ::testing::Values(IDR_MAINFRAME, IDI_SETUP, IDI_UNINSTALL));

TEST(VersionResource, Is1_20_0_6WithItsStrings) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC info = FindResourceExA(module, MAKEINTRESOURCEA(16) /* RT_VERSION */, MAKEINTRESOURCEA(1),
                                 MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ASSERT_NE(nullptr, info);
    DWORD size = SizeofResource(module, info);
    // VerQueryValueA converts the Unicode strings into space behind the block.
    std::vector<BYTE> block(size * 3);
    memcpy(block.data(), LockResource(LoadResource(module, info)), size);

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &len));
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), len);
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    EXPECT_EQ(MAKELONG(20, 1), fixed->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(6, 0), fixed->dwFileVersionLS);
    EXPECT_EQ(MAKELONG(20, 1), fixed->dwProductVersionMS);
    EXPECT_EQ(MAKELONG(6, 0), fixed->dwProductVersionLS);
    EXPECT_EQ(0x3Fu, fixed->dwFileFlagsMask);
    EXPECT_EQ(0u, fixed->dwFileFlags);
    EXPECT_EQ(static_cast<DWORD>(VOS__WINDOWS32), fixed->dwFileOS);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);
    EXPECT_EQ(0u, fixed->dwFileSubtype);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &len));
    ASSERT_EQ(4u, len);
    EXPECT_EQ(0x0409, translation[0]);
    EXPECT_EQ(1200, translation[1]);

    const struct {
        const char* name;
        const char* value;
    } strings[] = {
        {"FileVersion", "1, 20, 0, 6"},       {"ProductVersion", "1, 20, 0, 6"},
        {"FileDescription", "Orvane Zenvero"}, {"ProductName", "Orvane Zenvero"},
        {"InternalName", "Velmora"},           {"OriginalFilename", "Velmora.EXE"},
    };
    for (const auto& s : strings) {
        char* value = nullptr;
        std::string path = std::string("\\StringFileInfo\\040904B0\\") + s.name;
        ASSERT_TRUE(VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &len)) << s.name;
        EXPECT_STREQ(s.value, value) << s.name;
    }
}

TEST(Manifest, AsksForNoElevationAndCommonControls6) {
    auto [data, size] = RawResource(MAKEINTRESOURCEA(24) /* RT_MANIFEST */, 1);
    ASSERT_NE(nullptr, data);
    std::string manifest(reinterpret_cast<const char*>(data), size);
    for (const char* part : {"level=\"asInvoker\"", "name=\"Microsoft.Windows.Common-Controls\"",
                             "version=\"6.0.0.0\"", "{e2011457-1546-43c5-a5fe-008deee3d3f0}",
                             "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                             "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
                             ">true</dpiAware>", ">PerMonitorV2, system</dpiAwareness>"})
        EXPECT_NE(std::string::npos, manifest.find(part)) << part;

    // The loader honoured it: this process got the side-by-side common controls
    // of version 6, not the system folder's copy.
    HMODULE comctl = LoadLibraryA("comctl32.dll");
    ASSERT_NE(nullptr, comctl);
    char path[MAX_PATH] = {};
    GetModuleFileNameA(comctl, path, sizeof path);
    CharLowerA(path);
    EXPECT_NE(nullptr, strstr(path, "\\winsxs\\")) << path;
    EXPECT_NE(nullptr, strstr(path, "common-controls")) << path;
}

}  // namespace
