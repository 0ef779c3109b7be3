// The built help file opened through WinHelp, as the program opens it: each
// context number must bring up the viewer on its own topic. WinHelp answers
// TRUE whatever the number, so the test reads the topic text the viewer shows.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// The viewer is another process: wait for it, with messages pumped so that
// the help engine's conversation with it goes on.
constexpr int kPatienceSteps = 300;  // of 100 ms

void PumpFor(DWORD ms) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(ms);
}

std::string HelpFilePath() {
    // The build tree's folder as Wine's Z: drive sees it.
    std::string path = "Z:" VELMORA_HELP_FILE;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

struct TopicSearch {
    std::string found;
};

BOOL CALLBACK CollectChildText(HWND child, LPARAM param) {
    char text[4096] = {};
    DWORD_PTR length = 0;
    if (SendMessageTimeoutA(child, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                            2000, &length) &&
        length > 0) {
        reinterpret_cast<TopicSearch*>(param)->found += std::string(text, length) + "\n--\n";
    }
    return TRUE;
}

// The text of every child of the viewer's main window, or empty when none is up.
std::string ViewerText() {
    HWND viewer = FindWindowA("MS_WINHELP", nullptr);
    if (!viewer || !IsWindowVisible(viewer)) return std::string();
    TopicSearch search;
    EnumChildWindows(viewer, CollectChildText, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class HelpFileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_owner = CreateWindowA("STATIC", "help owner", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                nullptr, nullptr);
    }
    static void TearDownTestSuite() {
        WinHelpA(s_owner, HelpFilePath().c_str(), HELP_QUIT, 0);
        for (int i = 0; i < kPatienceSteps && FindWindowA("MS_WINHELP", nullptr); ++i) PumpFor(100);
        DestroyWindow(s_owner);
    }

    // Waits until the viewer shows a topic that begins with `title`.
    static ::testing::AssertionResult ShowsTopic(const std::string& title) {
        std::string text;
        for (int i = 0; i < kPatienceSteps; ++i) {
            text = ViewerText();
            if (text.compare(0, title.size(), title) == 0 || text.find("\n--\n" + title) != std::string::npos)
                return ::testing::AssertionSuccess();
            PumpFor(100);
        }
        return ::testing::AssertionFailure() << "the viewer shows:\n" << text.substr(0, 400);
    }

    static HWND s_owner;
};

HWND HelpFileTest::s_owner = nullptr;

TEST_F(HelpFileTest, EachContextNumberOpensItsTopic) {
    ASSERT_NE(nullptr, s_owner);
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(HelpFilePath().c_str())) << HelpFilePath();
    const struct {
        DWORD context;
        const char* title;
    } cases[] = {
        {0x20066, "The Orvane Zenvero window"},  // main window, template 102
        {0x20064, "About Orvane Zenvero"},       // About box, template 100
        {0x20081, "Convert Multiple Files: the results"},  // results, template 129
        {0x20066, "The Orvane Zenvero window"},  // back again in the running viewer
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        EXPECT_TRUE(WinHelpA(s_owner, HelpFilePath().c_str(), HELP_CONTEXT, c.context));
        EXPECT_TRUE(ShowsTopic(c.title));
    }
}

TEST_F(HelpFileTest, ContentsListsTheTopics) {
    EXPECT_TRUE(WinHelpA(s_owner, HelpFilePath().c_str(), HELP_CONTENTS, 0));
    EXPECT_TRUE(ShowsTopic("Orvane Zenvero Help"));
}

}  // namespace
