// Russian names on the phone under a Russian locale (OEM 866, ANSI 1251):
// the panel shows the same letters the phone has, and goes in by them.
#include "integration_support.h"

#include <algorithm>

namespace kelp_test {
namespace {

class PanelCyrillic : public KelpTest {
protected:
    void SetUp() override
    {
        if (GetOEMCP() != 866) GTEST_SKIP() << "needs the Russian locale (OEM 866)";
        hostOptions.language = "Russian";
        started = true;
        KelpTest::SetUp();
    }
    void TearDown() override
    {
        if (started) KelpTest::TearDown();
    }
    bool started = false;

    static std::string Oem(const std::wstring& text)
    {
        char out[520];
        int n = WideCharToMultiByte(CP_OEMCP, 0, text.c_str(), -1, out, sizeof(out), nullptr, nullptr);
        return n ? std::string(out) : std::string("<unconvertible>");
    }
};

TEST_F(PanelCyrillic, FolderAndFileNamesShowAndOpenByTheirLetters)
{
    const std::wstring photos = L"\u0424\u043E\u0442\u043E";                     // Фото
    const std::wstring notes = L"\u0417\u0430\u043C\u0435\u0442\u043A\u0438.txt";  // Заметки.txt
    const std::wstring shot = L"\u0441\u043D\u0438\u043C\u043E\u043A \u21161.jpg";  // снимок №1.jpg
    const std::wstring drive = Widen(PhonePath("C"));
    ASSERT_TRUE(CreateDirectoryW((drive + L"\\" + photos).c_str(), nullptr));
    for (const std::wstring& file : {drive + L"\\" + notes, drive + L"\\" + photos + L"\\" + shot}) {
        HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        CloseHandle(h);
    }

    HANDLE panel = Open();
    ASSERT_NE(INVALID_HANDLE_VALUE, panel);
    host->SetDirectory(panel, "C:");
    host_emu::PanelListing root = Read(panel);
    std::vector<std::string> names = root.Names();
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected = {Oem(photos), Oem(notes)};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, names);
    const host::PluginPanelItem* folder = root.Find(Oem(photos));
    ASSERT_TRUE(folder);
    EXPECT_TRUE(folder->FindData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);

    EXPECT_EQ(1, host->SetDirectory(panel, Oem(photos)));
    host_emu::PanelListing inside = Read(panel);
    EXPECT_EQ("C:\\" + Oem(photos), inside.curDir);
    EXPECT_EQ(std::vector<std::string>{Oem(shot)}, inside.Names());
    auto opens = phone->Journal(phone_emu::Op::DirOpen);
    ASSERT_FALSE(opens.empty());
    EXPECT_EQ(L"C:\\" + photos + L"\\", opens.back().path);
    EXPECT_EQ(0, opens.back().status);

    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

}  // namespace
}  // namespace kelp_test
