// Names in Cyrillic survive the way from the phone to the PC: the host's
// narrow texts are OEM 866 here, the phone's and the PC's names UTF-16.
#include "copy_from_support.h"

namespace kelp_test {
namespace {

class CopyFromPhoneCyrillic : public CopyFromPhoneTest {};

TEST_F(CopyFromPhoneCyrillic, TreeArrivesUnderItsOwnNames)
{
    if (GetOEMCP() != 866) GTEST_SKIP() << "needs the Russian locale (OEM 866)";
    std::wstring drive = Widen(PhonePath("C"));
    ASSERT_TRUE(CreateDirectoryW((drive + L"\\Документы").c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryW((drive + L"\\Документы\\Фото ёлки").c_str(), NULL));
    for (const wchar_t* name : {L"\\Документы\\отчёт.txt", L"\\Документы\\Фото ёлки\\Снимок.jpg"}) {
        HANDLE file = CreateFileW((drive + name).c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
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

}  // namespace
}  // namespace kelp_test
