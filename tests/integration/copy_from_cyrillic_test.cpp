// Names in Cyrillic survive the way from the phone to the PC: the host's
// narrow texts are OEM 866 here, the phone's and the PC's names UTF-16.
#include "copy_from_support.h"

#include <regex>

namespace kelp_test {
namespace {

class CopyFromPhoneCyrillic : public CopyFromPhoneTest {};

TEST_F(CopyFromPhoneCyrillic, TreeArrivesUnderItsOwnNames)
{
    if (GetOEMCP() != 866) GTEST_SKIP() << "needs the Russian locale (OEM 866)";
    std::wstring drive = Widen(PhonePath("C"));
    ASSERT_TRUE(CreateDirectoryW((drive + L"\\Документы").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((drive + L"\\Документы\\Фото ёлки").c_str(), nullptr));
    for (const wchar_t* name : {L"\\Документы\\отчёт.txt", L"\\Документы\\Фото ёлки\\Снимок.jpg"}) {
        HANDLE file = CreateFileW((drive + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        CloseHandle(file);
    }
    MakeDirs(PcPath("out"));

    HANDLE panel = OpenAt("C:");
    EXPECT_EQ(1, Copy(panel, {Narrow(L"Документы")}, 0, PcPath("out"), host::OPM_SILENT));

    std::wstring out = Widen(PcPath("out"));
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((out + L"\\Д*").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    FindClose(search);
    EXPECT_EQ(std::wstring(L"Документы"), found.cFileName);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((out + L"\\Документы\\отчёт.txt").c_str()));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES,
              GetFileAttributesW((out + L"\\Документы\\Фото ёлки\\Снимок.jpg").c_str()));
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

// Figures, sizes, speeds and dates in the Russian formats, as the host's
// own panels and questions show them: digits grouped by a no-break space
// (0xFF in OEM 866), a decimal comma, the day first and dots between.
TEST_F(CopyFromPhoneCyrillic, NumbersAndDatesInTheRussianFormats)
{
    if (GetOEMCP() != 866) GTEST_SKIP() << "needs the Russian locale (OEM 866)";
    phone_emu::VolumeOverride v;
    v.driveIndex = 2;
    v.volume.figure1 = 270553174016LL;
    v.volume.validMark = 1;
    phone->Options().volumes = {v};
    PhoneFile("a.txt", "A");
    PhoneFile("big.bin", std::string(120000, 'x'));

    HANDLE panel = OpenAt("C:");
    host_emu::PanelListing shown = Read(panel);
    ASSERT_LE(2u, shown.infoLines.size());
    EXPECT_STREQ("270\xFF" "553\xFF" "174\xFF" "016", shown.infoLines[1].Data);

    std::vector<std::string> lines = AskOverwriteOfDatedFiles(panel);
    ASSERT_EQ(6u, lines.size());
    EXPECT_EQ("New                   1 07.12.2026 23:04:49", lines[3]);
    EXPECT_EQ("Existing              3 05.01.2026 09:08:07", lines[4]);

    // The copy box's speed and sizes: 15 notices over about 1.5 s.
    phone->Options().chunkSize = 8000;
    phone->Options().delayMs = 100;
    host->Options().interfaceSettings =
        host::FIS_SHOWCOPYINGTIMEINFO | host::FIS_SHOWTOTALCOPYPROGRESSINDICATOR;
    host->Journal().Clear();
    EXPECT_EQ(1, Copy(panel, {"big.bin"}, 0, PcPath("out"), host::OPM_SILENT));
    const std::regex speed(".*  +\\d+,\\d [KM]B/s"), total("\\d of 1 files  .* of 117,1 KB");
    int speeds = 0, totals = 0;
    for (const host_emu::JournalEntry* e : host->Journal().Messages()) {
        if (!e->IsProgress() || e->lines.size() != 10u) continue;
        EXPECT_EQ(std::string::npos, e->lines[7].find('.')) << e->lines[7];
        speeds += std::regex_match(e->lines[7], speed);
        totals += std::regex_match(e->lines[9], total);
    }
    EXPECT_GT(speeds, 0);
    EXPECT_GT(totals, 0);
    host->ClosePlugin(panel);
    ExpectNoHostFaults();
}

}  // namespace
}  // namespace kelp_test
