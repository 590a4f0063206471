// What the tests of copying from the phone share: a phone tree built from
// short descriptions, the panel opened in a phone folder, and one call that
// copies a selection the way the host's copy and move commands do.
#pragma once

#include "integration_support.h"

#include <string>
#include <vector>

namespace kelp_test {

class CopyFromPhoneTest : public KelpTest {
protected:
    // A file on the phone's drive C, e.g. "docs\\sub\\y.txt"; its folders are made.
    void PhoneFile(const std::string& relative, const std::string& content)
    {
        std::string path = PhonePath("C\\" + relative);
        MakeDirs(path.substr(0, path.find_last_of('\\')));
        ASSERT_TRUE(WriteFileText(path, content)) << path;
    }
    void PhoneFolder(const std::string& relative) { ASSERT_TRUE(MakeDirs(PhonePath("C\\" + relative))); }
    bool OnPhone(const std::string& relative) { return PathExists(PhonePath("C\\" + relative)); }
    // Sets a file's write time to `local`, a time of the PC's own zone.
    static void SetWriteTime(const std::string& path, SYSTEMTIME local)
    {
        FILETIME inZone, utc;
        ASSERT_TRUE(SystemTimeToFileTime(&local, &inZone) && LocalFileTimeToFileTime(&inZone, &utc));
        HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
        EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &utc));
        CloseHandle(file);
    }
    // The overwrite question for the phone's C\a.txt (7 Dec 2026 23:04:49)
    // over an older out\a.txt on the PC (5 Jan 2026 09:08:07, 3 bytes),
    // skipped: the question's lines, "New" at 3 and "Existing" at 4; none
    // when it was not asked once in six lines.
    std::vector<std::string> AskOverwriteOfDatedFiles(HANDLE panel)
    {
        MakeDirs(PcPath("out"));
        WriteFileText(PcPath("out\\a.txt"), "old");
        SetWriteTime(PhonePath("C\\a.txt"), {2026, 12, 0, 7, 23, 4, 49, 0});
        SetWriteTime(PcPath("out\\a.txt"), {2026, 1, 0, 5, 9, 8, 7, 0});
        host->Script().AnswerMessage(2);  // skip
        EXPECT_EQ(0, Copy(panel, {"a.txt"}, 0, PcPath("out"), host::OPM_SILENT));
        std::vector<const host_emu::JournalEntry*> prompts = host->Journal().Prompts();
        EXPECT_EQ(1u, prompts.size());
        if (prompts.size() != 1 || prompts[0]->lines.size() != 6) return {};
        return prompts[0]->lines;
    }

    // Copies (move = 0) or moves the items named from the panel's folder;
    // the items' flags afterwards are left in `items`, the phone's journal
    // holds the copy's requests only.
    int Copy(HANDLE panel, const std::vector<std::string>& names, int move,
             const std::string& dest, int opMode = 0)
    {
        items = Select(panel, names);
        phone->ClearJournal();
        std::string destPath = dest;
        return host->GetFiles(panel, items, move, destPath, opMode);
    }

    bool Selected(const std::string& name) const
    {
        for (const host::PluginPanelItem& item : items)
            if (name == item.FindData.cFileName) return (item.Flags & host::PPIF_SELECTED) != 0;
        ADD_FAILURE() << "no item " << name;
        return false;
    }

    // The FileCopy requests the phone saw, by source path ending.
    std::vector<phone_emu::JournalEntry> CopiesOf(const std::wstring& sourceEnd)
    {
        std::vector<phone_emu::JournalEntry> out;
        for (const phone_emu::JournalEntry& e : phone->Journal(phone_emu::Op::FileCopy))
            if (e.path.size() >= sourceEnd.size() &&
                e.path.compare(e.path.size() - sourceEnd.size(), sourceEnd.size(), sourceEnd) == 0)
                out.push_back(e);
        return out;
    }

    // Fails the copy of every source path containing `part` with `status`,
    // only its `occurrence`th request when that is not 0.
    void FailCopies(const std::wstring& part, LONG status = phone_emu::StatusIoError,
                    int occurrence = 0)
    {
        phone_emu::Rule rule;
        rule.op = phone_emu::Op::FileCopy;
        rule.action = phone_emu::Action::ForceStatus;
        rule.status = status;
        rule.pathContains = part;
        rule.occurrence = occurrence;
        phone->Options().rules.push_back(rule);
    }

    // Progress boxes, as journaled: lines[1] the source name, lines[3] the target.
    std::vector<const host_emu::JournalEntry*> ProgressBoxes()
    {
        std::vector<const host_emu::JournalEntry*> out;
        for (const host_emu::JournalEntry* e : host->Journal().Messages())
            if (e->IsProgress()) out.push_back(e);
        return out;
    }

    std::vector<host::PluginPanelItem> items;
};

// Files whose name holds the emulator's temporary suffix: what an unfinished
// copy would leave behind, anywhere below `folder`.
inline std::vector<std::string> LeftoverTemporaries(const std::string& folder)
{
    std::vector<std::string> found;
    for (const std::string& name : ListNames(folder)) {
        std::string path = folder + "\\" + name;
        if (name.find(".~emu") != std::string::npos) found.push_back(path);
        if (IsDirectory(path))
            for (const std::string& inner : LeftoverTemporaries(path)) found.push_back(inner);
    }
    return found;
}

}  // namespace kelp_test
