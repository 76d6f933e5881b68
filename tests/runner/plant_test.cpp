// A test program that leaves a file on the user's Desktop, as a faulty test
// would: the runner's own test shows that the runner names it.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

TEST(Plant, LeavesAFileOnTheDesktop) {
    wchar_t desktop[MAX_PATH] = L"";
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop), S_OK);
    std::ofstream(std::filesystem::path(desktop) / L"planted by a test.txt") << "left behind";
}
