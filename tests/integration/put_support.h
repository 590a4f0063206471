// What the tests of changing the phone's files share (copy to the phone,
// delete, make folder): trees built on either side, the panel opened in a
// phone folder, and the phone's requests read back from its journal.
#pragma once

#include "integration_support.h"

#include <string>
#include <vector>

namespace kelp_test {

class PhoneChangeTest : public KelpTest {
protected:
    // A file under the phone's root ("C\\docs\\a.txt") or the PC folder; the
    // folders on its way are made.
    void PhoneFile(const std::string& relative, const std::string& content)
    {
        PutFile(PhonePath(relative), content);
    }
    void PcFile(const std::string& relative, const std::string& content)
    {
        PutFile(PcPath(relative), content);
    }
    static void PutFile(const std::string& path, const std::string& content)
    {
        MakeDirs(path.substr(0, path.find_last_of('\\')));
        ASSERT_TRUE(WriteFileText(path, content)) << path;
    }

    // PC items as the host hands them to PutFiles, selected.
    std::vector<host::PluginPanelItem> DiskItems(const std::vector<std::string>& names,
                                                 const std::string& folder = std::string())
    {
        std::vector<host::PluginPanelItem> items;
        for (const std::string& name : names) {
            items.push_back(host_emu::MakeDiskItem(folder.empty() ? pcRoot : folder, name));
            items.back().Flags |= host::PPIF_SELECTED;
        }
        return items;
    }

    static bool Selected(const std::vector<host::PluginPanelItem>& items, const std::string& name)
    {
        for (const host::PluginPanelItem& item : items)
            if (name == item.FindData.cFileName) return (item.Flags & host::PPIF_SELECTED) != 0;
        ADD_FAILURE() << "no item " << name;
        return false;
    }

    // The paths of the phone's requests of one kind (FileCopy: the targets),
    // in the order they were made.
    std::vector<std::string> Requests(phone_emu::Op op)
    {
        std::vector<std::string> paths;
        for (const phone_emu::JournalEntry& e : phone->Journal(op))
            paths.push_back(Narrow(op == phone_emu::Op::FileCopy ? e.target : e.path));
        return paths;
    }

    // FileDelete and DirRemove requests, in order, as "F path" / "D path".
    std::vector<std::string> Removals()
    {
        std::vector<std::string> out;
        for (const phone_emu::JournalEntry& e : phone->Journal()) {
            if (e.op == phone_emu::Op::FileDelete) out.push_back("F " + Narrow(e.path));
            if (e.op == phone_emu::Op::DirRemove) out.push_back("D " + Narrow(e.path));
        }
        return out;
    }
};

}  // namespace kelp_test
