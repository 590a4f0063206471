// The emulated phone against real folders: drives, listings, copies, paths.
#include "phone_test_support.h"

#include <set>

using namespace phone_test;
using phone_emu::Op;

namespace {

std::wstring NameOf(const remote::RemoteEntry& e) { return std::wstring(e.name); }

}  // namespace

TEST_F(PhoneTest, DriveMaskFollowsTheFolders) {
    ASSERT_EQ(0, Run([&] { return server->DriveList(cookie, 0); }));
    EXPECT_EQ((1u << 2) | (1u << 4), sink.value);

    // A file named like a drive and a longer folder name are no drives.
    WriteBytes(root + L"\\D", "x");
    CreateDirectoryW((root + L"\\XY").c_str(), nullptr);
    CreateDirectoryW((root + L"\\Z").c_str(), nullptr);
    RemoveDirectoryW((root + L"\\E").c_str());
    ASSERT_EQ(0, Run([&] { return server->DriveList(cookie, 0); }));
    EXPECT_EQ((1u << 2) | (1u << 25), sink.value);
}

TEST_F(PhoneTest, VolumeInfoDescribesEachDriveFromTheDisk) {
    CreateDirectoryW((root + L"\\Z").c_str(), nullptr);
    ULARGE_INTEGER available, total, free;
    ASSERT_TRUE(GetDiskFreeSpaceExW((root + L"\\C\\").c_str(), &available, &total, &free));

    ASSERT_EQ(0, Run([&] { return server->VolumeInfo(cookie, 0, 2); }));
    EXPECT_EQ(phone_emu::KindPhoneMemory, sink.volume.kindCode);
    EXPECT_EQ(LONGLONG(total.QuadPart), sink.volume.figure1);
    EXPECT_GT(sink.volume.figure2, 0);
    EXPECT_LE(sink.volume.figure2, sink.volume.figure1);
    EXPECT_STREQ(L"KELP-C", sink.volume.wideText);
    EXPECT_STREQ("C:", sink.volume.tagText);
    EXPECT_EQ(1, sink.volume.validMark);

    ASSERT_EQ(0, Run([&] { return server->VolumeInfo(cookie, 0, 4); }));
    EXPECT_EQ(phone_emu::KindMemoryCard, sink.volume.kindCode);
    EXPECT_STREQ("E:", sink.volume.tagText);
    ASSERT_EQ(0, Run([&] { return server->VolumeInfo(cookie, 0, 25); }));
    EXPECT_EQ(phone_emu::KindReadOnly, sink.volume.kindCode);

    EXPECT_EQ(phone_emu::StatusNoDrive, Run([&] { return server->VolumeInfo(cookie, 0, 3); }));
    EXPECT_EQ(phone_emu::StatusBadArgument, Run([&] { return server->VolumeInfo(cookie, 0, 26); }));
}

TEST_F(PhoneTest, ListingServesEveryRealEntryThenEndOfList) {
    ASSERT_TRUE(WriteBytes(root + L"\\C\\a.txt", "hello"));
    CreateDirectoryW((root + L"\\C\\sub").c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(root + L"\\C\\sub\\inner.bin", Pattern(70000, 1)));

    LONG end = 0;
    auto top = List(L"C:\\", &end);
    EXPECT_EQ(remote::StatusEndOfList, end);
    ASSERT_EQ(2u, top.size());
    std::set<std::wstring> names{NameOf(top[0]), NameOf(top[1])};
    EXPECT_EQ((std::set<std::wstring>{L"a.txt", L"sub"}), names);
    for (auto& e : top) {
        if (NameOf(e) == L"a.txt") {
            EXPECT_EQ(5u, e.size);
            EXPECT_FALSE(e.attributes & FILE_ATTRIBUTE_DIRECTORY);
            EXPECT_NE(0u, e.lastWriteTime.dwHighDateTime);
        } else {
            EXPECT_TRUE(e.attributes & FILE_ATTRIBUTE_DIRECTORY);
        }
    }

    auto inner = List(L"C:\\sub\\", &end);
    EXPECT_EQ(remote::StatusEndOfList, end);
    ASSERT_EQ(1u, inner.size());
    EXPECT_STREQ(L"inner.bin", inner[0].name);
    EXPECT_EQ(70000u, inner[0].size);

    EXPECT_EQ(0, emu->Counters().openEnumerations);
    EXPECT_EQ(2u, emu->Count(Op::DirClose));
    // A closed handle is gone for good.
    DWORD handle = emu->Journal(Op::DirOpen)[0].resultValue;
    EXPECT_EQ(phone_emu::StatusBadHandle, Run([&] { return server->DirRead(cookie, 0, handle); }));
}

TEST_F(PhoneTest, CompletionsArriveThroughTheMessageQueue) {
    ASSERT_EQ(S_OK, server->DriveList(cookie, 0));
    EXPECT_EQ(0, sink.completions);  // not inside the call
    EXPECT_EQ(1, emu->Counters().pendingWork);
    ASSERT_TRUE(PumpUntil(sink, 1));
    EXPECT_EQ(0, sink.status);
    auto j = emu->Journal(Op::DriveList);
    ASSERT_EQ(1u, j.size());
    EXPECT_TRUE(j[0].completed);
    EXPECT_FALSE(j[0].completedInsideCall);
}

TEST_F(PhoneTest, DirectoryAndFileOperationsChangeTheFolders) {
    EXPECT_EQ(0, Run([&] { return server->DirMake(cookie, 0, L"E:\\new"); }));
    EXPECT_TRUE(GetFileAttributesW((root + L"\\E\\new").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(remote::StatusExists, Run([&] { return server->DirMake(cookie, 0, L"E:\\new"); }));
    EXPECT_EQ(phone_emu::StatusNotFound,
              Run([&] { return server->DirMake(cookie, 0, L"E:\\none\\deeper"); }));

    ASSERT_TRUE(WriteBytes(root + L"\\E\\new\\f.txt", "abc"));
    ASSERT_EQ(0, Run([&] { return server->EntryInfo(cookie, 0, L"E:\\new\\f.txt"); }));
    EXPECT_STREQ(L"f.txt", sink.entry.name);
    EXPECT_EQ(3u, sink.entry.size);
    EXPECT_EQ(phone_emu::StatusNotFound,
              Run([&] { return server->EntryInfo(cookie, 0, L"E:\\new\\g.txt"); }));

    EXPECT_NE(0, Run([&] { return server->DirRemove(cookie, 0, L"E:\\new\\"); }));  // not empty
    EXPECT_EQ(0, Run([&] { return server->FileDelete(cookie, 0, L"E:\\new\\f.txt"); }));
    EXPECT_FALSE(Exists(root + L"\\E\\new\\f.txt"));
    EXPECT_EQ(0, Run([&] { return server->DirRemove(cookie, 0, L"E:\\new\\"); }));
    EXPECT_FALSE(Exists(root + L"\\E\\new"));
    EXPECT_EQ(phone_emu::StatusBadPath, Run([&] { return server->DirRemove(cookie, 0, L"E:\\"); }));
    EXPECT_TRUE(Exists(root + L"\\E"));
}

TEST_F(PhoneTest, CopyToPhoneMovesChunksWithProgress) {
    std::string data = Pattern(200000, 2);
    ASSERT_TRUE(WriteBytes(pc + L"\\big.bin", data));
    ASSERT_EQ(0, Copy(pc + L"\\big.bin", L"C:\\big.bin", remote::CopyToPhone, 0));
    EXPECT_EQ(data, ReadBytes(root + L"\\C\\big.bin"));
    // 200000 bytes in 64 KiB chunks: four notices, rising, ending at 100.
    EXPECT_EQ((std::vector<LONG>{32, 65, 98, 100}), sink.progress);
    EXPECT_EQ((std::vector<std::wstring>{L"big.bin"}), Names(root + L"\\C"));
    auto j = emu->Journal(Op::FileCopy);
    ASSERT_EQ(1u, j.size());
    EXPECT_EQ(remote::CopyToPhone, j[0].direction);
    EXPECT_EQ(4, j[0].progressNotices);
}

TEST_F(PhoneTest, CopyFromPhoneHonoursTheOverwriteFlag) {
    ASSERT_TRUE(WriteBytes(root + L"\\E\\song.mp3", "new"));
    ASSERT_TRUE(WriteBytes(pc + L"\\song.mp3", "old!"));
    EXPECT_EQ(remote::StatusExists, Copy(L"E:\\song.mp3", pc + L"\\song.mp3", remote::CopyFromPhone, 0));
    EXPECT_EQ("old!", ReadBytes(pc + L"\\song.mp3"));
    EXPECT_TRUE(sink.progress.empty());  // refused before any byte moved
    EXPECT_EQ(0, Copy(L"E:\\song.mp3", pc + L"\\song.mp3", remote::CopyFromPhone, 1));
    EXPECT_EQ("new", ReadBytes(pc + L"\\song.mp3"));
    EXPECT_EQ((std::vector<std::wstring>{L"song.mp3"}), Names(pc));

    EXPECT_EQ(phone_emu::StatusNotFound,
              Copy(L"E:\\none.mp3", pc + L"\\none.mp3", remote::CopyFromPhone, 0));
    EXPECT_EQ(phone_emu::StatusBadArgument, Copy(L"E:\\song.mp3", pc + L"\\x", 3, 0));
}

TEST_F(PhoneTest, EmptyFileGetsOneNoticeOfHundred) {
    ASSERT_TRUE(WriteBytes(pc + L"\\empty", ""));
    ASSERT_EQ(0, Copy(pc + L"\\empty", L"C:\\empty", remote::CopyToPhone, 0));
    EXPECT_EQ(std::vector<LONG>{100}, sink.progress);
    EXPECT_EQ("", ReadBytes(root + L"\\C\\empty"));
}

TEST_F(PhoneTest, CancelLeavesNoPartialFileAndTheOldTargetIntact) {
    std::string data = Pattern(300000, 3);
    ASSERT_TRUE(WriteBytes(pc + L"\\v.bin", data));
    sink.cancelAtNotice = 2;
    EXPECT_EQ(remote::StatusCancelled, Copy(pc + L"\\v.bin", L"C:\\v.bin", remote::CopyToPhone, 0));
    EXPECT_EQ(2u, sink.progress.size());
    EXPECT_TRUE(Names(root + L"\\C").empty());

    ASSERT_TRUE(WriteBytes(root + L"\\C\\v.bin", "previous"));
    sink.progress.clear();
    EXPECT_EQ(remote::StatusCancelled, Copy(pc + L"\\v.bin", L"C:\\v.bin", remote::CopyToPhone, 1));
    EXPECT_EQ("previous", ReadBytes(root + L"\\C\\v.bin"));
    EXPECT_EQ((std::vector<std::wstring>{L"v.bin"}), Names(root + L"\\C"));
}

TEST_F(PhoneTest, PathsLeavingTheRootAreRejected) {
    CreateDirectoryW((root + L"\\C\\sub").c_str(), nullptr);
    const wchar_t* bad[] = {L"C:\\..\\",     L"C:\\.\\",       L"C:\\sub\\..\\..\\", L"C:/",
                            L"C:\\sub/..\\", L"C:\\a:b\\",     L"C:\\\\",            L"C:",
                            L"1:\\",         L"C:\\*\\",       L"C:\\sub",           L"C:\\NUL\\",
                            L"C:\\sub.\\",   L"CC:\\"};
    for (auto path : bad)
        EXPECT_EQ(phone_emu::StatusBadPath, Run([&] { return server->DirOpen(cookie, 0, path); }))
            << std::string(path, path + wcslen(path));
    EXPECT_EQ(phone_emu::StatusNoDrive, Run([&] { return server->DirOpen(cookie, 0, L"D:\\"); }));

    ASSERT_TRUE(WriteBytes(pc + L"\\f", "x"));
    EXPECT_EQ(phone_emu::StatusBadPath,
              Copy(pc + L"\\f", L"C:\\..\\escaped", remote::CopyToPhone, 1));
    EXPECT_EQ(phone_emu::StatusBadPath,
              Run([&] { return server->DirMake(cookie, 0, L"C:\\sub\\..\\..\\made"); }));
    EXPECT_EQ((std::vector<std::wstring>{L"C", L"E"}), Names(root));
    EXPECT_EQ(0, emu->Counters().openEnumerations);
}

TEST(PhonePaths, MapsSoundPathsUnderTheDriveFolder) {
    std::wstring root = MakeTempFolder();
    CreateDirectoryW((root + L"\\C").c_str(), nullptr);
    std::wstring out;
    EXPECT_EQ(0, phone_emu::MapPhonePath(root, L"C:\\", true, &out));
    EXPECT_EQ(root + L"\\C", out);
    EXPECT_EQ(0, phone_emu::MapPhonePath(root, L"c:\\Music\\a b.mp3", false, &out));
    EXPECT_EQ(root + L"\\C\\Music\\a b.mp3", out);
    EXPECT_EQ(phone_emu::StatusBadPath, phone_emu::MapPhonePath(root, L"C:\\x\\", false, &out));
    EXPECT_EQ(phone_emu::StatusBadPath, phone_emu::MapPhonePath(root, L"C:\\com1.txt", false, &out));
    EXPECT_EQ(phone_emu::StatusBadPath, phone_emu::MapPhonePath(root, nullptr, false, &out));
    EXPECT_EQ(phone_emu::StatusNoDrive, phone_emu::MapPhonePath(root, L"E:\\x", false, &out));
    RemoveTree(root);
}
