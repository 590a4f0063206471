#include "far_sequences.h"

#include <cstring>

namespace host_emu {

namespace {

bool IsFolder(const host::PluginPanelItem& item) {
    return (item.FindData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsDotName(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

std::string CurDirOf(HostEmulator& host, HANDLE panel) {
    host::OpenPluginInfo info;
    std::memset(&info, 0, sizeof info);
    host.Exports().GetOpenPluginInfo(panel, &info);
    return info.CurDir ? info.CurDir : "";
}

// Redraw: ShowFileList sends FE_REDRAW, then asks for the description.
void Redraw(HostEmulator& host, HANDLE panel, std::string* curDir = nullptr,
            std::string* title = nullptr) {
    const host_emu::PluginExports& e = host.Exports();
    if (e.ProcessEvent) e.ProcessEvent(panel, host::FE_REDRAW, nullptr);
    host::OpenPluginInfo info;
    std::memset(&info, 0, sizeof info);
    e.GetOpenPluginInfo(panel, &info);
    if (curDir) *curDir = info.CurDir ? info.CurDir : "";
    if (title) *title = info.PanelTitle ? info.PanelTitle : "";
}

// FarGetPluginDirList's state, its statics in the host.
struct DirScan {
    HostEmulator& host;
    HANDLE panel;
    std::function<bool()> escape;
    DirList& out;
    bool stop = false;
};

void Add(DirScan& scan, const std::string& path, const host::PluginPanelItem& item) {
    scan.out.names.push_back(path + item.FindData.cFileName);
    if (IsFolder(item)) {
        ++scan.out.folders;
    } else {
        ++scan.out.files;
        scan.out.bytes += ((unsigned long long)item.FindData.nFileSizeHigh << 32) |
                          item.FindData.nFileSizeLow;
    }
}

// ScanPluginDir: Esc looked at, the folder read, its files, then each
// subfolder entered, scanned and left with ".."; a refused ".." stops all.
void ScanPluginDir(DirScan& scan, const std::string& path) {
    const host_emu::PluginExports& e = scan.host.Exports();
    if (scan.escape && scan.escape()) scan.stop = true;
    host::PluginPanelItem* items = nullptr;
    int count = 0;
    if (scan.stop || !e.GetFindData(scan.panel, &items, &count, host::OPM_FIND)) return;
    for (int i = 0; i < count && !scan.stop; ++i)
        if (!IsFolder(items[i])) Add(scan, path, items[i]);
    for (int i = 0; i < count && !scan.stop; ++i) {
        const host::PluginPanelItem& item = items[i];
        if (!IsFolder(item) || IsDotName(item.FindData.cFileName)) continue;
        Add(scan, path, item);
        if (e.SetDirectory(scan.panel, item.FindData.cFileName, host::OPM_FIND)) {
            ScanPluginDir(scan, path + item.FindData.cFileName + "\\");
            if (!e.SetDirectory(scan.panel, "..", host::OPM_FIND)) {
                scan.stop = true;
                break;
            }
        }
    }
    e.FreeFindData(scan.panel, items, count);
}

// FindFiles' state.
struct FindScan {
    HostEmulator& host;
    HANDLE panel;
    FindRun& run;
    HANDLE mutex;
};

struct MutexHold {
    HANDLE mutex;
    explicit MutexHold(HANDLE m) : mutex(m) {
        if (mutex) WaitForSingleObject(mutex, INFINITE);
    }
    void Release() {
        if (mutex) ReleaseMutex(mutex);
        mutex = nullptr;
    }
    ~MutexHold() { Release(); }
};

// ScanPluginTree: the folder read under the mutex; its items reported; each
// subfolder entered, searched and left with ".." (under the mutex each), a
// refused ".." stopping the search. The listing is handed back outside it.
void ScanPluginTree(FindScan& scan, const std::string& path) {
    const host_emu::PluginExports& e = scan.host.Exports();
    host::PluginPanelItem* items = nullptr;
    int count = 0;
    {
        MutexHold hold(scan.mutex);
        if (scan.run.stop || !e.GetFindData(scan.panel, &items, &count, host::OPM_FIND)) return;
    }
    for (int i = 0; i < count && !scan.run.stop; ++i) {
        if (IsDotName(items[i].FindData.cFileName)) continue;
        scan.run.found.push_back(path + items[i].FindData.cFileName);
        if (IsFolder(items[i]) || scan.run.fetchInto.empty()) continue;
        // The text search: one file fetched as the host's GetFile fetches
        // it, into a new empty folder.
        std::vector<host::PluginPanelItem> one = {items[i]};
        std::string folder = scan.run.fetchInto + "\\" + std::to_string(scan.run.found.size());
        CreateDirectoryA(folder.c_str(), nullptr);
        char dest[host::NM] = {0};
        std::strncpy(dest, folder.c_str(), sizeof dest - 1);
        MutexHold hold(scan.mutex);
        if (e.GetFiles(scan.panel, one.data(), 1, 0, dest, host::OPM_SILENT | host::OPM_FIND) == 1)
            ++scan.run.fetched;
    }
    for (int i = 0; i < count && !scan.run.stop; ++i) {
        const host::PluginPanelItem& item = items[i];
        if (!IsFolder(item) || IsDotName(item.FindData.cFileName)) continue;
        if (scan.run.onFolder) scan.run.onFolder(path + item.FindData.cFileName);
        MutexHold hold(scan.mutex);
        if (!e.SetDirectory(scan.panel, item.FindData.cFileName, host::OPM_FIND)) continue;
        hold.Release();
        ScanPluginTree(scan, path + item.FindData.cFileName + "\\");
        MutexHold back(scan.mutex);
        if (!e.SetDirectory(scan.panel, "..", host::OPM_FIND)) scan.run.stop = true;
        back.Release();
        if (scan.run.stop) break;
    }
    e.FreeFindData(scan.panel, items, count);
}

}  // namespace

std::string FetchToView(HostEmulator& host, HANDLE panel, const host::PluginPanelItem& item,
                        const std::string& folder, bool quick) {
    CreateDirectoryA(folder.c_str(), nullptr);
    host::PluginPanelItem copy = item;
    char dest[host::NM] = {0};
    std::strncpy(dest, folder.c_str(), sizeof dest - 1);
    int mode = host::OPM_SILENT | host::OPM_VIEW | (quick ? host::OPM_QUICKVIEW : 0);
    int code = host.Exports().GetFiles(panel, &copy, 1, 0, dest, mode);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    std::string path;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                path = folder + "\\" + found.cFileName;
                break;
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    if (code != 1 && !path.empty()) {
        DeleteFileA(path.c_str());
        path.clear();
    }
    return path;
}

// FarGetPluginDirList: CurDir saved, the folder entered, scanned, left with
// ".."; when CurDir then differs, a read and SetDirectory(saved CurDir).
// FALSE only when the scan was stopped.
DirList GetPluginDirList(HostEmulator& host, HANDLE panel, const std::string& dir,
                         std::function<bool()> escape) {
    DirList out;
    if (dir.empty() || dir == "." || dir == "..") return out;
    const host_emu::PluginExports& e = host.Exports();
    DirScan scan{host, panel, escape, out};
    // FAR's own box, drawn once before anything is asked and standing until
    // the screen under it comes back at the end (through the plug-ins'
    // message service here, so the journal shows it untitled as FAR does).
    HANDLE screen = host.SaveScreen(0, 0, -1, -1);
    const char* box[] = {"", "Preparing files list", dir.c_str()};
    host.Message(host.Options().moduleNumber, 0, nullptr, box, 3, 0);
    std::string before = CurDirOf(host, panel);
    if (e.SetDirectory(panel, dir.c_str(), host::OPM_FIND)) {
        ScanPluginDir(scan, "");
        e.SetDirectory(panel, "..", host::OPM_FIND);
        if (_stricmp(before.c_str(), CurDirOf(host, panel).c_str()) != 0) {
            host::PluginPanelItem* items = nullptr;
            int count = 0;
            if (e.GetFindData(panel, &items, &count, host::OPM_FIND))
                e.FreeFindData(panel, items, count);
            e.SetDirectory(panel, before.c_str(), host::OPM_FIND);
        }
    }
    host.RestoreScreen(screen);
    out.ok = !scan.stop;
    return out;
}

// PreparePluginList: CurDir saved; from the root, "\" first and the saved
// CurDir at the end; from the current folder, neither.
void FindFiles(HostEmulator& host, HANDLE panel, FindRun& run, HANDLE pluginMutex) {
    const host_emu::PluginExports& e = host.Exports();
    std::string saved = CurDirOf(host, panel);
    bool fromRoot = run.from == FindFrom::Root;
    if (fromRoot) {
        MutexHold hold(pluginMutex);
        e.SetDirectory(panel, "\\", host::OPM_FIND);
    }
    FindScan scan{host, panel, run, pluginMutex};
    ScanPluginTree(scan, "");
    if (fromRoot) {
        MutexHold hold(pluginMutex);
        e.SetDirectory(panel, saved.c_str(), host::OPM_FIND);
    }
}

// FindFilesProcess's FIND_EXIT_GOTO, then SetPluginDirectory(name, hPlugin,
// TRUE). FAR keeps a found item's folders apart with \x1 and splits there;
// Kelp's names hold no backslash, so splitting at "\" is the same.
GoTo FindGoTo(HostEmulator& host, HANDLE panel, FindFrom from, const std::string& found) {
    const host_emu::PluginExports& e = host.Exports();
    GoTo out;
    CurDirOf(host, panel);
    if (from == FindFrom::Root) e.SetDirectory(panel, "\\", host::OPM_FIND);
    size_t start = 0;
    for (size_t end; (end = found.find('\\', start)) != std::string::npos; start = end + 1) {
        host::PluginPanelItem* items = nullptr;
        int count = 0;
        if (e.GetFindData(panel, &items, &count, host::OPM_FIND))
            e.FreeFindData(panel, items, count);
        e.SetDirectory(panel, found.substr(start, end - start).c_str(), host::OPM_FIND);
    }
    // Update(UPDATE_KEEP_SELECTION): a read that fails closes the panel.
    out.read = host.ReadPanel(panel, out.listing);
    if (!out.read) return out;
    // GoToFile(the name), else GoToFile(the whole path).
    for (const std::string& name : {found.substr(start), found})
        if (out.listing.Find(name)) {
            out.cursor = name;
            break;
        }
    Redraw(host, panel, &out.curDir, &out.panelTitle);
    return out;
}

bool RefreshAfterOperation(HostEmulator& host, HANDLE panel, PanelListing& read, HANDLE other,
                           PanelListing* otherRead) {
    // A read that fails closes the panel: nothing is left to draw.
    bool ok = host.ReadPanel(panel, read);
    if (ok) Redraw(host, panel);
    if (other) {
        PanelListing ignored;
        PanelListing& into = otherRead ? *otherRead : ignored;
        if (host.ReadPanel(other, into)) Redraw(host, other);
    }
    return ok;
}

bool CtrlR(HostEmulator& host, HANDLE panel, PanelListing& read) {
    const host_emu::PluginExports& e = host.Exports();
    if (e.ProcessKey && e.ProcessKey(panel, 'R', host::PKF_CONTROL)) return true;
    bool ok = host.ReadPanel(panel, read);
    if (ok) Redraw(host, panel);
    return ok;
}

FolderShortcut SaveShortcut(HostEmulator& host, HANDLE panel) {
    host::OpenPluginInfo info;
    std::memset(&info, 0, sizeof info);
    host.Exports().GetOpenPluginInfo(panel, &info);
    FolderShortcut shortcut;
    shortcut.curDir = info.CurDir ? info.CurDir : "";
    shortcut.shortcutData = info.ShortcutData ? info.ShortcutData : "";
    return shortcut;
}

HANDLE OpenShortcut(HostEmulator& host, const FolderShortcut& shortcut, PanelListing* read) {
    const host_emu::PluginExports& e = host.Exports();
    HANDLE panel = e.OpenPlugin(OPEN_SHORTCUT, (INT_PTR)shortcut.shortcutData.c_str());
    if (panel == INVALID_HANDLE_VALUE || panel == nullptr) return INVALID_HANDLE_VALUE;
    host.AdoptPanel(panel);
    if (!shortcut.curDir.empty()) e.SetDirectory(panel, shortcut.curDir.c_str(), 0);
    PanelListing listing;
    host.ReadPanel(panel, listing);
    if (read) *read = listing;
    return panel;
}

int CommandLineCd(HostEmulator& host, HANDLE panel, const std::string& typed, PanelListing* read) {
    std::string dir = typed;
    if (dir.size() > 1 && dir[1] == ':' && isalpha((unsigned char)dir[0]))
        dir[0] = (char)toupper((unsigned char)dir[0]);
    if (dir == ".." && CurDirOf(host, panel).empty()) {
        host.ClosePlugin(panel);
        return TRUE;
    }
    int result = host.Exports().SetDirectory(panel, dir.c_str(), 0);
    PanelListing listing;
    host.ReadPanel(panel, listing);
    if (read) *read = listing;
    return result;
}

}  // namespace host_emu
