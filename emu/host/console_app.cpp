#include "console_app.h"

#include <algorithm>
#include <cstring>

namespace hostemu {

namespace {

enum { FE_CLOSE = 3 };
enum { PKF_CONTROL = 1, PKF_ALT = 2, PKF_SHIFT = 4 };

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

bool ConsoleApp::open() {
    if (!screen_.open() || !keys_.open()) {
        error_ = "no console to draw in: run KelpHost.exe on a terminal";
        return false;
    }
    host_.setFrontEnd(&ui_);
    return true;
}

// --- drawing --------------------------------------------------------------------------

void ConsoleApp::draw() {
    int w = screen_.width(), h = screen_.height(), half = w / 2;
    panels_[0].draw(screen_, 0, 0, half, h - 2, active_ == 0, panels_[1]);
    panels_[1].draw(screen_, half, 0, w - half, h - 2, active_ == 1, panels_[0]);

    const FilePanel& a = activePanel();
    std::string prompt = (a.kind == FilePanel::Plugin ? a.listing.panelTitle : a.folder) + ">";
    screen_.fill(0, h - 2, w, 1, ' ', kCommandLine);
    screen_.text(0, h - 2, prompt, kCommandLine, w - 1);

    static const char* const labels[10] = {"Help", "",       "",       "",   "Copy",
                                           "RenMov", "MkFold", "Delete", "", "Quit"};
    int cell = w / 10;
    for (int i = 0; i < 10; ++i) {
        int x = i * cell;
        std::string number = std::to_string(i + 1);
        int width = (i == 9 ? w - x : cell) - (int)number.size();
        screen_.text(x, h - 1, number, kKeyNumber);
        screen_.fill(x + (int)number.size(), h - 1, width, 1, ' ', kKeyLabel);
        screen_.text(x + (int)number.size(), h - 1, labels[i], kKeyLabel, width);
    }
    screen_.flush();
    screen_.cursor(std::min((int)prompt.size(), w - 1), h - 2);
}

// --- keys -----------------------------------------------------------------------------

void ConsoleApp::handle(const Key& key) {
    FilePanel& p = activePanel();
    if (key.resized) {
        screen_.open();
        return;
    }
    // The plug-in sees every key of its panel first.
    if (p.kind == FilePanel::Plugin && !p.info && host_.exports().ProcessKey) {
        unsigned state = (key.ctrl ? PKF_CONTROL : 0) | (key.alt ? PKF_ALT : 0) |
                         (key.shift ? PKF_SHIFT : 0);
        beforeCall();
        if (host_.exports().ProcessKey(p.plugin, key.vk, state)) return;
    }
    if (key.alt && (key.vk == VK_F1 || key.vk == VK_F2)) {
        diskMenu(key.vk == VK_F1 ? 0 : 1);
    } else if (key.ctrl && key.vk == 'L') {
        passivePanel().info = !passivePanel().info;
        reread(active_);  // the plug-in now finds an information panel opposite
    } else if (key.ctrl && key.vk == 'R') {
        reread(active_);
    } else if (key.ctrl && key.vk == VK_OEM_5 && p.kind == FilePanel::Plugin) {
        beforeCall();
        if (host_.setDirectory(p.plugin, "\\")) {
            p.entries.clear();
            reread(active_);
        }
    } else if (key.is(VK_UP) || key.is(VK_DOWN)) {
        p.move(key.vk == VK_UP ? -1 : 1);
    } else if (key.is(VK_PRIOR) || key.is(VK_NEXT)) {
        p.move((key.vk == VK_PRIOR ? -1 : 1) * std::max(1, p.rows() - 1));
    } else if (key.is(VK_HOME) || key.is(VK_END)) {
        p.move(key.vk == VK_HOME ? -(int)p.entries.size() : (int)p.entries.size());
    } else if (key.is(VK_RETURN)) {
        enter();
    } else if (key.is(VK_INSERT)) {
        if (p.currentEntry() && !p.currentEntry()->isUp())
            p.entries[p.current].selected = !p.entries[p.current].selected;
        p.move(1);
    } else if (key.is(VK_TAB)) {
        if (!passivePanel().info) active_ = 1 - active_;
        if (activePanel().kind == FilePanel::Local)
            SetCurrentDirectoryA(activePanel().folder.c_str());
    } else if (key.is(VK_F5) || key.is(VK_F6)) {
        copy(key.vk == VK_F6);
    } else if (key.is(VK_F7)) {
        makeFolder();
    } else if (key.is(VK_F8)) {
        remove();
    } else if (key.is(VK_F10)) {
        quit_ = true;
    }
}

// --- calls into the plug-in ----------------------------------------------------------

void ConsoleApp::beforeCall() {
    HostOptions& o = host_.options();
    const FilePanel& other = passivePanel();
    o.screenWidth = screen_.width();
    o.screenHeight = screen_.height();
    o.otherPanelVisible = true;
    o.otherPanelType = other.info ? host::PTYPE_INFOPANEL : host::PTYPE_FILEPANEL;
    o.otherPanelIsPlugin = !other.info && other.kind == FilePanel::Plugin;
    o.otherPanelDir = other.info ? other.folder : other.curDir();
    if (activePanel().kind == FilePanel::Local)
        SetCurrentDirectoryA(activePanel().folder.c_str());
}

void ConsoleApp::reread(int side) {
    beforeCall();
    FilePanel& p = panels_[side];
    if (!p.read(host_)) {
        // GetFindData failed: the host has closed the plug-in's panel.
        p.kind = FilePanel::Local;
        p.plugin = INVALID_HANDLE_VALUE;
        p.entries.clear();
        p.read(host_);
    }
}

void ConsoleApp::rereadBoth() {
    reread(active_);
    reread(1 - active_);
}

void ConsoleApp::enter() {
    FilePanel& p = activePanel();
    const PanelEntry* e = p.currentEntry();
    if (!e || !e->isFolder()) return;
    std::string name = e->name;
    bool up = e->isUp();
    if (p.kind == FilePanel::Local) {
        std::string from = LastComponent(p.folder);
        std::string next = up ? ParentFolder(p.folder) : JoinPath(p.folder, name);
        if (next.empty()) return;
        p.folder = next;
        p.entries.clear();
        p.current = 0;
        reread(active_);
        if (up) p.moveTo(from);
        SetCurrentDirectoryA(p.folder.c_str());
        return;
    }
    if (up && p.listing.curDir.empty()) {
        // ".." at the top level leaves the plug-in, unless it vetoes closing.
        beforeCall();
        if (host_.exports().ProcessEvent && host_.exports().ProcessEvent(p.plugin, FE_CLOSE, nullptr))
            return;
        closeKelp(active_);
        return;
    }
    std::string from = LastComponent(p.listing.curDir);
    beforeCall();
    if (!host_.setDirectory(p.plugin, name)) {
        reread(active_);
        return;
    }
    p.entries.clear();
    p.current = 0;
    reread(active_);
    if (up) p.moveTo(from);
}

// F5/F6. From the plug-in: GetFiles into the other panel's folder, the
// plug-in asking where to itself. Into the plug-in: the host's own question
// first, then PutFiles from the local folder with bare names.
void ConsoleApp::copy(bool move) {
    FilePanel& src = activePanel();
    FilePanel& dst = passivePanel();
    std::vector<PanelEntry> chosen = src.chosen();
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
        beforeCall();
        keys_.beginOperation();
        result = host_.getFiles(src.plugin, items, move ? 1 : 0, dest, 0);
        keys_.endOperation();
    } else if (src.kind == FilePanel::Local && dst.kind == FilePanel::Plugin && !dst.info) {
        std::vector<std::string> lines = {ItemsLine(chosen, move ? "Move" : "Copy"), dst.title()};
        if (ui_.ask(title, lines, {move ? "&Move" : "&Copy", "Cancel"}) != 0) return;
        for (const PanelEntry& e : chosen) {
            items.push_back(MakeDiskItem(src.folder, e.name));
            if (e.selected) items.back().Flags |= host::PPIF_SELECTED;
        }
        beforeCall();
        keys_.beginOperation();
        result = host_.putFiles(dst.plugin, items, move ? 1 : 0, src.folder, 0);
        keys_.endOperation();
    } else {
        ui_.ask(title, {"This host copies only between Kelp's panel", "and a folder of the PC"},
                {"Ok"});
        return;
    }

    // The host deselects what was done: everything on success, else the
    // items whose selection the plug-in cleared.
    for (size_t i = 0; i < items.size(); ++i)
        if (result == 1 || !(items[i].Flags & host::PPIF_SELECTED))
            for (PanelEntry& e : src.entries)
                if (e.name == chosen[i].name) e.selected = false;
    rereadBoth();
    if (result == 1) target->moveTo(chosen[0].name);
}

void ConsoleApp::makeFolder() {
    FilePanel& p = activePanel();
    std::string name;
    if (p.kind == FilePanel::Plugin) {
        beforeCall();
        if (host_.makeDirectory(p.plugin, name) != 1) {
            reread(active_);
            return;
        }
    } else {
        if (!ui_.inputLine("Make folder", "Create the folder", name) || name.empty()) return;
        if (!CreateDirectoryA(JoinPath(p.folder, name).c_str(), nullptr))
            ui_.ask("Error", {"Cannot create the folder", name}, {"Ok"}, true);
    }
    reread(active_);
    p.moveTo(name);
}

void ConsoleApp::remove() {
    FilePanel& p = activePanel();
    std::vector<PanelEntry> chosen = p.chosen();
    if (chosen.empty()) return;
    if (p.kind == FilePanel::Plugin) {
        std::vector<host::PluginPanelItem> items;
        for (const PanelEntry& e : chosen) {
            items.push_back(e.item);
            if (e.selected) items.back().Flags |= host::PPIF_SELECTED;
        }
        beforeCall();
        host_.deleteFiles(p.plugin, items);
    } else {
        std::string what = chosen.size() == 1 ? chosen[0].name
                                              : std::to_string(chosen.size()) + " items";
        if (ui_.ask("Delete", {"Do you wish to delete", what}, {"&Delete", "Cancel"}) != 0) return;
        for (const PanelEntry& e : chosen) RemoveLocalTree(JoinPath(p.folder, e.name));
    }
    rereadBoth();
}

// Alt+F1 / Alt+F2: the PC's drives, the folder the host started in, and the
// plug-in's disk menu entries.
void ConsoleApp::diskMenu(int side) {
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
    if (host_.exports().GetPluginInfo) host_.exports().GetPluginInfo(&info);
    for (int i = 0; i < info.DiskMenuStringsNumber && info.DiskMenuStrings; ++i)
        items.push_back(info.DiskMenuStrings[i] ? info.DiskMenuStrings[i] : "");

    FilePanel& p = panels_[side];
    int selected = p.kind == FilePanel::Plugin ? (int)firstPlugin : (int)drives.size() + 1;
    int centre = side == 0 ? screen_.width() / 4 : screen_.width() * 3 / 4;
    int chosen = ui_.menu("Disk", items, selected, centre);
    if (chosen < 0) return;
    if (chosen >= (int)firstPlugin) {
        openKelp(side, chosen - (int)firstPlugin);
        return;
    }
    if (p.kind == FilePanel::Plugin) closeKelp(side);
    p.folder = chosen < (int)drives.size() ? drives[chosen] : home_;
    p.info = false;
    p.entries.clear();
    p.current = 0;
    active_ = side;
    reread(side);
}

bool ConsoleApp::openKelp(int side, int item) {
    FilePanel& p = panels_[side];
    if (p.kind == FilePanel::Plugin) closeKelp(side);
    active_ = side;
    p.info = false;
    beforeCall();
    HANDLE panel = host_.openFromDiskMenu(item);
    if (panel == INVALID_HANDLE_VALUE) return false;  // the plug-in has said why
    p.kind = FilePanel::Plugin;
    p.plugin = panel;
    p.entries.clear();
    p.current = 0;
    reread(side);
    return p.kind == FilePanel::Plugin;
}

void ConsoleApp::closeKelp(int side) {
    FilePanel& p = panels_[side];
    if (p.kind != FilePanel::Plugin) return;
    host_.closePlugin(p.plugin);
    p.kind = FilePanel::Local;
    p.plugin = INVALID_HANDLE_VALUE;
    p.entries.clear();
    p.current = 0;
    reread(side);
    p.moveTo(p.folder);
}

// --- the main loop ----------------------------------------------------------------------

void ConsoleApp::run(const ConsoleAppOptions& options) {
    home_ = options.pcFolder;
    for (FilePanel& p : panels_) p.folder = home_;
    reread(0);
    reread(1);
    draw();
    if (options.kelpSide == 0 || options.kelpSide == 1) openKelp(options.kelpSide, 0);

    while (!quit_) {
        draw();
        Key key = keys_.next();
        handle(key);
        // An interactive session would keep every call forever otherwise.
        if (host_.journal().screensNotRestored().empty()) host_.journal().clear();
    }

    for (int side = 0; side < 2; ++side) closeKelp(side);
    screen_.fill(0, 0, screen_.width(), screen_.height(), ' ', kCommandLine);
    screen_.flush();
    screen_.cursor(0, 0);
    keys_.close();
    host_.setFrontEnd(nullptr);
}

}  // namespace hostemu
