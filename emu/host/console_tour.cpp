#include "console_tour.h"

#include <cstdio>

namespace host_emu {

namespace {

bool IsFolder(const host::PluginPanelItem& item) {
    return (item.FindData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string Describe(const PanelListing& listing) {
    std::string out;
    for (const host::PluginPanelItem& item : listing.items) {
        out += out.empty() ? "" : "  ";
        out += item.FindData.cFileName;
        if (IsFolder(item)) out += "\\";
        else out += " (" + std::to_string(item.FindData.nFileSizeLow) + " bytes)";
    }
    return out.empty() ? "(nothing)" : out;
}

// What the plug-in showed since `from`: its boxes and dialogs, one a line.
void TellPrompts(HostEmulator& host, size_t from) {
    const std::vector<JournalEntry>& entries = host.Journal().Entries();
    int progress = 0;
    for (size_t i = from; i < entries.size(); ++i) {
        const JournalEntry& e = entries[i];
        if (e.IsProgress()) {
            ++progress;
        } else if (e.kind == CallKind::Message) {
            std::string lines;
            for (const std::string& l : e.lines) lines += (lines.empty() ? "" : " / ") + l;
            std::printf("    box \"%s\": %s -> button %d\n", e.title.c_str(), lines.c_str(), e.answer);
        } else if (e.kind == CallKind::Dialog) {
            std::string texts;
            for (const DialogItemRecord& item : e.itemsAfter)
                if ((item.type == host::DI_TEXT || IsEditItem(item.type)) && !item.data.empty())
                    texts += (texts.empty() ? "" : " / ") + item.data;
            std::printf("    dialog \"%s\": %s -> item %d\n", e.title.c_str(), texts.c_str(), e.answer);
        }
    }
    if (progress) std::printf("    (%d progress boxes drawn)\n", progress);
}

const host::PluginPanelItem* FirstOf(const PanelListing& listing, bool folder) {
    for (const host::PluginPanelItem& item : listing.items)
        if (IsFolder(item) == folder) return &item;
    return nullptr;
}

bool Exists(const std::string& path, DWORD* size = nullptr) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    if (size) *size = found.nFileSizeLow;
    return true;
}

// A file of the PC folder for the way back, made when there is none.
std::string PcFile(const std::string& pcFolder, const PanelListing& phoneFolder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((pcFolder + "\\*").c_str(), &found);
    std::string name;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !phoneFolder.Find(found.cFileName)) {
                name = found.cFileName;
                break;
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    if (!name.empty()) return name;
    name = "from-the-pc.txt";
    HANDLE file = CreateFileA((pcFolder + "\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        static const char text[] = "Written on the PC, copied to the phone.\r\n";
        DWORD written = 0;
        WriteFile(file, text, sizeof text - 1, &written, nullptr);
        CloseHandle(file);
    }
    return name;
}

}  // namespace

int RunTour(HostEmulator& host, const std::string& pcFolder) {
    int failures = 0;
    auto fail = [&](const std::string& what) {
        std::printf("  FAILED: %s\n", what.c_str());
        ++failures;
    };

    HANDLE panel = host.OpenFromDiskMenu(0);
    std::printf("Disk menu: %s\n", host.DiskMenu().empty() ? "(empty)" : host.DiskMenu()[0].c_str());
    if (panel == INVALID_HANDLE_VALUE) {
        TellPrompts(host, 0);
        std::printf("Kelp did not open: is the phone emulator registered?\n");
        return 1;
    }

    PanelListing listing;
    if (!host.ReadPanel(panel, listing)) return 1;
    std::printf("Kelp's panel opens on the phone's drives: %s\n", Describe(listing).c_str());
    const host::PluginPanelItem* drive = FirstOf(listing, true);
    if (!drive || !host.SetDirectory(panel, drive->FindData.cFileName) ||
        !host.ReadPanel(panel, listing)) {
        fail("could not enter the first drive");
        return 1;
    }
    std::printf("Enter on %s: %s\n", listing.curDir.c_str(), Describe(listing).c_str());

    std::string folder = listing.Find("Documents") ? "Documents" : "";
    if (folder.empty() && FirstOf(listing, true)) folder = FirstOf(listing, true)->FindData.cFileName;
    if (!folder.empty() && host.SetDirectory(panel, folder) && host.ReadPanel(panel, listing))
        std::printf("Enter on %s: %s\n", listing.curDir.c_str(), Describe(listing).c_str());
    std::string phoneDir = listing.curDir;

    // F5 on a phone file, with the other panel on the PC folder.
    const host::PluginPanelItem* file = FirstOf(listing, false);
    if (!file) {
        fail("no file in " + phoneDir + " to copy");
    } else {
        std::string name = file->FindData.cFileName;
        DWORD expected = file->FindData.nFileSizeLow, size = 0;
        std::printf("F5 on %s (to %s):\n", name.c_str(), pcFolder.c_str());
        std::vector<host::PluginPanelItem> items = {*file};
        host.Options().otherPanelDir = pcFolder;
        size_t mark = host.Journal().Entries().size();
        DialogAnswer enter;
        enter.close = DialogAnswer::kEnter;
        host.Script().AnswerDialog(enter);
        host.Script().AnswerMessage(0);  // an overwrite question, on a second run
        std::string dest = pcFolder;
        int result = host.GetFiles(panel, items, 0, dest, 0);
        TellPrompts(host, mark);
        host.Script().Clear();
        if (result == 1 && Exists(pcFolder + "\\" + name, &size) && size == expected)
            std::printf("    %s is on the PC now, %lu bytes\n", name.c_str(), (unsigned long)size);
        else
            fail("GetFiles answered " + std::to_string(result) + " and the copy is not there");
    }

    // F5 from the PC folder into the phone's folder.
    std::string back = PcFile(pcFolder, listing);
    std::printf("F5 on the PC's %s (to Kelp:%s):\n", back.c_str(), phoneDir.c_str());
    std::vector<host::PluginPanelItem> items = {MakeDiskItem(pcFolder, back)};
    size_t mark = host.Journal().Entries().size();
    host.Script().AnswerMessage(0);
    int result = host.PutFiles(panel, items, 0, pcFolder, 0);
    TellPrompts(host, mark);
    host.Script().Clear();
    if (result != 1 || !host.ReadPanel(panel, listing) || !listing.Find(back)) {
        fail("PutFiles answered " + std::to_string(result) + " and " + back + " is not listed");
    } else {
        std::printf("    %s now: %s\n", phoneDir.c_str(), Describe(listing).c_str());

        // F8 on the file just copied, confirmed.
        std::printf("F8 on %s:\n", back.c_str());
        std::vector<host::PluginPanelItem> doomed = {*listing.Find(back)};
        mark = host.Journal().Entries().size();
        host.Script().AnswerMessage(0);
        result = host.DeleteFiles(panel, doomed, 0);
        TellPrompts(host, mark);
        host.Script().Clear();
        if (!host.ReadPanel(panel, listing) || listing.Find(back))
            fail("DeleteFiles answered " + std::to_string(result) + " and " + back + " is still listed");
        else
            std::printf("    %s now: %s\n", phoneDir.c_str(), Describe(listing).c_str());
    }

    host.ClosePlugin(panel);
    for (const std::string& fault : host.Journal().Faults()) fail("host: " + fault);
    std::printf("Tour %s.\n", failures ? "failed" : "done: every step worked");
    return failures ? 1 : 0;
}

}  // namespace host_emu
