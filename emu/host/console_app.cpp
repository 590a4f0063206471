#include "console_app.h"

#include <algorithm>
#include <cstring>

namespace host_emu {

namespace {

enum { FE_CLOSE = 3 };

bool RemoveLocalTree(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileA(path.c_str()) != 0;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(JoinPath(path, "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name != "." && name != "..") RemoveLocalTree(JoinPath(path, name));
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return RemoveDirectoryA(path.c_str()) != 0;
}

std::string ItemsLine(const std::vector<PanelEntry>& items, const char* verb) {
    if (items.size() == 1) return std::string(verb) + " \"" + items[0].name + "\" to:";
    return std::string(verb) + " " + std::to_string(items.size()) + " items to:";
}

}  // namespace

bool ConsoleApp::Open() {
    if (!screen_.Open() || !keys_.Open()) {
        error_ = "no console to draw in: run KelpHost.exe on a terminal";
        return false;
    }
    host_.SetFrontEnd(&ui_);
    return true;
}

// --- drawing --------------------------------------------------------------------------

void ConsoleApp::Draw() {
    int w = screen_.Width(), h = screen_.Height(), half = w / 2;
    panels_[0].Draw(screen_, 0, 0, half, h - 2, active_ == 0, panels_[1]);
    panels_[1].Draw(screen_, half, 0, w - half, h - 2, active_ == 1, panels_[0]);

    const FilePanel& a = ActivePanel();
    std::string prompt =
        (a.kind == FilePanel::Plugin ? a.listing.panelTitle : a.folder) + ">" + commandLine_;
    screen_.Fill(0, h - 2, w, 1, ' ', kCommandLine);
    screen_.Text(0, h - 2, prompt, kCommandLine, w - 1);

    static const char* const labels[10] = {"Help", "",       "View",   "",   "Copy",
                                           "RenMov", "MkFold", "Delete", "", "Quit"};
    int cell = w / 10;
    for (int i = 0; i < 10; ++i) {
        int x = i * cell;
        std::string number = std::to_string(i + 1);
        int width = (i == 9 ? w - x : cell) - (int)number.size();
        screen_.Text(x, h - 1, number, kKeyNumber);
        screen_.Fill(x + (int)number.size(), h - 1, width, 1, ' ', kKeyLabel);
        screen_.Text(x + (int)number.size(), h - 1, labels[i], kKeyLabel, width);
    }
    screen_.Flush();
    screen_.Cursor(std::min((int)prompt.size(), w - 1), h - 2);
}

// --- keys -----------------------------------------------------------------------------

void ConsoleApp::Handle(const Key& key) {
    FilePanel& p = ActivePanel();
    if (key.resized) {
        screen_.Open();
        return;
    }
    // The plug-in sees every key of its panel first.
    if (p.kind == FilePanel::Plugin && !p.info && host_.Exports().ProcessKey) {
        unsigned state = (key.ctrl ? host::PKF_CONTROL : 0) | (key.alt ? host::PKF_ALT : 0) |
                         (key.shift ? host::PKF_SHIFT : 0);
        BeforeCall();
        if (host_.Exports().ProcessKey(p.plugin, key.vk, state)) return;
    }
    // A terminal has no Ctrl+digit: Alt+Shift+digit and Alt+digit stand in.
    bool digit = key.vk >= '0' && key.vk <= '9';
    if (digit && ((key.ctrl && key.shift) || (key.alt && key.shift))) {
        SaveShortcut(key.vk - '0');
    } else if (digit && (key.ctrl || key.alt) && !key.shift) {
        JumpToShortcut(key.vk - '0');
    } else if (key.ch >= ' ' && (unsigned char)key.ch < 127 && !key.ctrl && !key.alt) {
        commandLine_ += key.ch;
    } else if (key.Is(VK_BACK)) {
        if (!commandLine_.empty()) commandLine_.pop_back();
    } else if (key.Is(VK_RETURN) && !commandLine_.empty()) {
        RunCommandLine();
    } else if (key.Is(VK_ESCAPE)) {
        commandLine_.clear();
    } else if (key.alt && (key.vk == VK_F1 || key.vk == VK_F2)) {
        DiskMenu(key.vk == VK_F1 ? 0 : 1);
    } else if (key.ctrl && key.vk == 'L') {
        PassivePanel().info = !PassivePanel().info;
        Reread(active_);  // the plug-in now finds an information panel opposite
    } else if (key.ctrl && key.vk == 'R') {
        Reread(active_);
    } else if (key.ctrl && key.vk == VK_OEM_5 && p.kind == FilePanel::Plugin) {
        // As on Enter: the panel is read again whether the change was made or not.
        BeforeCall();
        if (host_.SetDirectory(p.plugin, "\\")) p.entries.clear();
        Reread(active_);
    } else if (key.Is(VK_UP) || key.Is(VK_DOWN)) {
        p.Move(key.vk == VK_UP ? -1 : 1);
    } else if (key.Is(VK_PRIOR) || key.Is(VK_NEXT)) {
        p.Move((key.vk == VK_PRIOR ? -1 : 1) * std::max(1, p.Rows() - 1));
    } else if (key.Is(VK_HOME) || key.Is(VK_END)) {
        p.Move(key.vk == VK_HOME ? -(int)p.entries.size() : (int)p.entries.size());
    } else if (key.Is(VK_RETURN)) {
        Enter();
    } else if (key.Is(VK_INSERT)) {
        if (p.CurrentEntry() && !p.CurrentEntry()->IsUp())
            p.entries[p.current].selected = !p.entries[p.current].selected;
        p.Move(1);
    } else if (key.Is(VK_TAB)) {
        if (!PassivePanel().info) active_ = 1 - active_;
        if (ActivePanel().kind == FilePanel::Local)
            SetCurrentDirectoryA(ActivePanel().folder.c_str());
    } else if (key.Is(VK_F3)) {
        FolderSize();
    } else if (key.Is(VK_F5) || key.Is(VK_F6)) {
        Copy(key.vk == VK_F6);
    } else if (key.Is(VK_F7)) {
        MakeFolder();
    } else if (key.Is(VK_F8)) {
        Remove();
    } else if (key.Is(VK_F10)) {
        quit_ = true;
    }
}

// --- calls into the plug-in ----------------------------------------------------------

void ConsoleApp::BeforeCall() {
    HostOptions& o = host_.Options();
    const FilePanel& other = PassivePanel();
    o.screenWidth = screen_.Width();
    o.screenHeight = screen_.Height();
    o.otherPanelVisible = true;
    o.otherPanelType = other.info ? host::PTYPE_INFOPANEL : host::PTYPE_FILEPANEL;
    o.otherPanelIsPlugin = !other.info && other.kind == FilePanel::Plugin;
    o.otherPanelDir = other.info ? other.folder : other.CurDir();
    if (ActivePanel().kind == FilePanel::Local)
        SetCurrentDirectoryA(ActivePanel().folder.c_str());
}

void ConsoleApp::Reread(int side) {
    BeforeCall();
    FilePanel& p = panels_[side];
    if (!p.Read(host_)) {
        // GetFindData failed: the host has closed the plug-in's panel.
        p.kind = FilePanel::Local;
        p.plugin = INVALID_HANDLE_VALUE;
        p.entries.clear();
        p.Read(host_);
    }
}

void ConsoleApp::RereadBoth() {
    Reread(active_);
    Reread(1 - active_);
}

void ConsoleApp::Enter() {
    FilePanel& p = ActivePanel();
    const PanelEntry* e = p.CurrentEntry();
    if (!e || !e->IsFolder()) return;
    std::string name = e->name;
    bool up = e->IsUp();
    if (p.kind == FilePanel::Local) {
        std::string from = LastComponent(p.folder);
        std::string next = up ? ParentFolder(p.folder) : JoinPath(p.folder, name);
        if (next.empty()) return;
        p.folder = next;
        p.entries.clear();
        p.current = 0;
        Reread(active_);
        if (up) p.MoveTo(from);
        SetCurrentDirectoryA(p.folder.c_str());
        return;
    }
    if (up && p.listing.curDir.empty()) {
        // ".." at the top level leaves the plug-in, unless it vetoes closing.
        BeforeCall();
        if (host_.Exports().ProcessEvent && host_.Exports().ProcessEvent(p.plugin, FE_CLOSE, nullptr))
            return;
        CloseKelp(active_);
        return;
    }
    std::string from = LastComponent(p.listing.curDir);
    BeforeCall();
    if (!host_.SetDirectory(p.plugin, name)) {
        Reread(active_);
        return;
    }
    p.entries.clear();
    p.current = 0;
    Reread(active_);
    if (up) p.MoveTo(from);
}

// F5/F6. From the plug-in: GetFiles into the other panel's folder, the
// plug-in asking where to itself. Into the plug-in: the host's own question
// first, then PutFiles from the local folder with bare names.
void ConsoleApp::Copy(bool move) {
    FilePanel& src = ActivePanel();
    FilePanel& dst = PassivePanel();
    std::vector<PanelEntry> chosen = src.Chosen();
    if (chosen.empty()) return;
    const char* title = move ? "Rename/Move" : "Copy";

    std::vector<host::PluginPanelItem> items;
    int result = 0;
    FilePanel* target = &dst;
    if (src.kind == FilePanel::Plugin && dst.kind == FilePanel::Local) {
        for (const PanelEntry& e : chosen) {
            items.push_back(e.item);
            if (e.selected) items.back().Flags |= host::PPIF_SELECTED;
        }
        std::string dest = dst.folder;
        BeforeCall();
        keys_.BeginOperation();
        result = host_.GetFiles(src.plugin, items, move ? 1 : 0, dest, 0);
        keys_.EndOperation();
    } else if (src.kind == FilePanel::Local && dst.kind == FilePanel::Plugin && !dst.info) {
        std::vector<std::string> lines = {ItemsLine(chosen, move ? "Move" : "Copy"), dst.Title()};
        if (ui_.Ask(title, lines, {move ? "&Move" : "&Copy", "Cancel"}) != 0) return;
        for (const PanelEntry& e : chosen) {
            items.push_back(MakeDiskItem(src.folder, e.name));
            if (e.selected) items.back().Flags |= host::PPIF_SELECTED;
        }
        BeforeCall();
        keys_.BeginOperation();
        result = host_.PutFiles(dst.plugin, items, move ? 1 : 0, src.folder, 0);
        keys_.EndOperation();
    } else {
        ui_.Ask(title, {"This host copies only between Kelp's panel", "and a folder of the PC"},
                {"Ok"});
        return;
    }

    // The host deselects what was done: everything on success, else the
    // items whose selection the plug-in cleared.
    for (size_t i = 0; i < items.size(); ++i)
        if (result == 1 || !(items[i].Flags & host::PPIF_SELECTED))
            for (PanelEntry& e : src.entries)
                if (e.name == chosen[i].name) e.selected = false;
    RereadBoth();
    if (result == 1) target->MoveTo(chosen[0].name);
}

void ConsoleApp::MakeFolder() {
    FilePanel& p = ActivePanel();
    std::string name;
    if (p.kind == FilePanel::Plugin) {
        BeforeCall();
        if (host_.MakeDirectory(p.plugin, name) != 1) {
            Reread(active_);
            return;
        }
    } else {
        if (!ui_.InputLine("Make folder", "Create the folder", name) || name.empty()) return;
        if (!CreateDirectoryA(JoinPath(p.folder, name).c_str(), nullptr))
            ui_.Ask("Error", {"Cannot create the folder", name}, {"Ok"}, true);
    }
    Reread(active_);
    p.MoveTo(name);
}

void ConsoleApp::Remove() {
    FilePanel& p = ActivePanel();
    std::vector<PanelEntry> chosen = p.Chosen();
    if (chosen.empty()) return;
    if (p.kind == FilePanel::Plugin) {
        std::vector<host::PluginPanelItem> items;
        for (const PanelEntry& e : chosen) {
            items.push_back(e.item);
            if (e.selected) items.back().Flags |= host::PPIF_SELECTED;
        }
        BeforeCall();
        host_.DeleteFiles(p.plugin, items);
    } else {
        std::string what = chosen.size() == 1 ? chosen[0].name
                                              : std::to_string(chosen.size()) + " items";
        if (ui_.Ask("Delete", {"Do you wish to delete", what}, {"&Delete", "Cancel"}) != 0) return;
        for (const PanelEntry& e : chosen) RemoveLocalTree(JoinPath(p.folder, e.name));
    }
    RereadBoth();
}

// F3 on a folder of Kelp's panel: the host counts it as FAR does, walking
// the plug-in with OPM_FIND, and reads the panel no more afterwards.
void ConsoleApp::FolderSize() {
    FilePanel& p = ActivePanel();
    const PanelEntry* e = p.CurrentEntry();
    if (p.kind != FilePanel::Plugin || p.info || !e || !e->IsFolder() || e->IsUp()) return;
    std::string name = e->name;
    BeforeCall();
    keys_.BeginOperation();
    DirList size = GetPluginDirList(host_, p.plugin, name);
    keys_.EndOperation();
    if (!size.ok) {
        ui_.Ask("View", {"The size of " + name + " could not be counted"}, {"Ok"}, true);
        return;
    }
    ui_.Ask("View", {name, std::to_string(size.folders) + " folders, " +
                               std::to_string(size.files) + " files",
                     Grouped(size.bytes) + " bytes"},
            {"Ok"});
}

void ConsoleApp::SaveShortcut(int digit) {
    FilePanel& p = ActivePanel();
    Shortcut& s = shortcuts_[digit];
    s.set = true;
    s.plugin = p.kind == FilePanel::Plugin;
    s.folder = p.folder;
    if (s.plugin) {
        BeforeCall();
        s.kelp = host_emu::SaveShortcut(host_, p.plugin);
    }
}

// RightCtrl+digit in FAR (Ctrl or Alt and a digit here: a terminal tells
// no Ctrl apart, and sends no Ctrl+digit at all): Kelp's shortcut opens a new panel with
// OPEN_SHORTCUT and then sets its saved folder.
void ConsoleApp::JumpToShortcut(int digit) {
    const Shortcut& s = shortcuts_[digit];
    if (!s.set) return;
    FilePanel& p = ActivePanel();
    if (p.kind == FilePanel::Plugin) CloseKelp(active_);
    p.info = false;
    p.entries.clear();
    p.current = 0;
    if (!s.plugin) {
        p.folder = s.folder;
        Reread(active_);
        return;
    }
    BeforeCall();
    HANDLE panel = OpenShortcut(host_, s.kelp);
    if (panel == INVALID_HANDLE_VALUE) {
        Reread(active_);
        return;
    }
    if (!host_.IsOpen(panel)) {  // its first read failed: the host closed it
        Reread(active_);
        return;
    }
    p.kind = FilePanel::Plugin;
    p.plugin = panel;
    Reread(active_);
}

// The command line knows "cd" (and "chdir"); over Kelp's panel the typed
// folder goes to SetDirectory as FAR's own "cd" sends it.
void ConsoleApp::RunCommandLine() {
    std::string line = commandLine_;
    commandLine_.clear();
    std::string lower = line;
    for (char& c : lower) c = (char)tolower((unsigned char)c);
    size_t skip = lower.rfind("cd ", 0) == 0 ? 3 : lower.rfind("chdir ", 0) == 0 ? 6 : 0;
    if (!skip) {
        ui_.Ask("Command line", {"This host runs only \"cd <folder>\""}, {"Ok"});
        return;
    }
    std::string typed = line.substr(skip);
    while (!typed.empty() && typed[0] == ' ') typed.erase(0, 1);
    FilePanel& p = ActivePanel();
    if (typed.empty()) return;
    if (p.kind == FilePanel::Plugin) {
        BeforeCall();
        CommandLineCd(host_, p.plugin, typed);
        if (!host_.IsOpen(p.plugin)) {
            p.kind = FilePanel::Local;
            p.plugin = INVALID_HANDLE_VALUE;
        }
        p.entries.clear();
        p.current = 0;
        Reread(active_);
        return;
    }
    std::string next = typed.size() > 1 && typed[1] == ':' ? typed : JoinPath(p.folder, typed);
    char full[MAX_PATH];
    if (!GetFullPathNameA(next.c_str(), sizeof full, full, nullptr) ||
        !(GetFileAttributesA(full) & FILE_ATTRIBUTE_DIRECTORY) ||
        GetFileAttributesA(full) == INVALID_FILE_ATTRIBUTES) {
        ui_.Ask("Error", {"Cannot find the folder", typed}, {"Ok"}, true);
        return;
    }
    p.folder = full;
    p.entries.clear();
    p.current = 0;
    Reread(active_);
}

// Alt+F1 / Alt+F2: the PC's drives, the folder the host started in, and the
// plug-in's disk menu entries.
void ConsoleApp::DiskMenu(int side) {
    std::vector<std::string> items;
    std::vector<std::string> drives;
    DWORD mask = GetLogicalDrives();
    for (int bit = 0; bit < 26; ++bit)
        if (mask & (1u << bit)) {
            drives.push_back(std::string(1, (char)('A' + bit)) + ":\\");
            items.push_back(drives.back().substr(0, 2) + "  disk");
        }
    items.push_back("");
    items.push_back("~   " + home_);
    items.push_back("");
    size_t firstPlugin = items.size();
    host::PluginInfo info;
    std::memset(&info, 0, sizeof info);
    if (host_.Exports().GetPluginInfo) host_.Exports().GetPluginInfo(&info);
    for (int i = 0; i < info.DiskMenuStringsNumber && info.DiskMenuStrings; ++i)
        items.push_back(info.DiskMenuStrings[i] ? info.DiskMenuStrings[i] : "");

    FilePanel& p = panels_[side];
    int selected = p.kind == FilePanel::Plugin ? (int)firstPlugin : (int)drives.size() + 1;
    int centre = side == 0 ? screen_.Width() / 4 : screen_.Width() * 3 / 4;
    int chosen = ui_.Menu("Disk", items, selected, centre);
    if (chosen < 0) return;
    if (chosen >= (int)firstPlugin) {
        OpenKelp(side, chosen - (int)firstPlugin);
        return;
    }
    if (p.kind == FilePanel::Plugin) CloseKelp(side);
    p.folder = chosen < (int)drives.size() ? drives[chosen] : home_;
    p.info = false;
    p.entries.clear();
    p.current = 0;
    active_ = side;
    Reread(side);
}

bool ConsoleApp::OpenKelp(int side, int item) {
    FilePanel& p = panels_[side];
    if (p.kind == FilePanel::Plugin) CloseKelp(side);
    active_ = side;
    p.info = false;
    BeforeCall();
    HANDLE panel = host_.OpenFromDiskMenu(item);
    if (panel == INVALID_HANDLE_VALUE) return false;  // the plug-in has said why
    p.kind = FilePanel::Plugin;
    p.plugin = panel;
    p.entries.clear();
    p.current = 0;
    Reread(side);
    return p.kind == FilePanel::Plugin;
}

void ConsoleApp::CloseKelp(int side) {
    FilePanel& p = panels_[side];
    if (p.kind != FilePanel::Plugin) return;
    host_.ClosePlugin(p.plugin);
    p.kind = FilePanel::Local;
    p.plugin = INVALID_HANDLE_VALUE;
    p.entries.clear();
    p.current = 0;
    Reread(side);
    p.MoveTo(p.folder);
}

// --- the main loop ----------------------------------------------------------------------

void ConsoleApp::Run(const ConsoleAppOptions& options) {
    home_ = options.pcFolder;
    for (FilePanel& p : panels_) p.folder = home_;
    Reread(0);
    Reread(1);
    Draw();
    if (options.kelpSide == 0 || options.kelpSide == 1) OpenKelp(options.kelpSide, 0);

    while (!quit_) {
        Draw();
        Key key = keys_.Next();
        Handle(key);
        // An interactive session would keep every call forever otherwise.
        if (host_.Journal().ScreensNotRestored().empty()) host_.Journal().Clear();
    }

    for (int side = 0; side < 2; ++side) CloseKelp(side);
    screen_.Fill(0, 0, screen_.Width(), screen_.Height(), ' ', kCommandLine);
    screen_.Flush();
    screen_.Cursor(0, 0);
    keys_.Close();
    host_.SetFrontEnd(nullptr);
}

}  // namespace host_emu
