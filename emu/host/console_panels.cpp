#include "console_panels.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

namespace host_emu {

namespace {

enum : DWORD { OPIF_ADDDOTS = 0x8 };
enum : WORD { kPanelHeading = 0x1E };

bool IsRoot(const std::string& folder) { return folder.size() <= 3; }

// "..", then folders, then files, each by name ignoring case.
bool Before(const PanelEntry& a, const PanelEntry& b) {
    if (a.IsUp() != b.IsUp()) return a.IsUp();
    if (a.IsFolder() != b.IsFolder()) return a.IsFolder();
    return lstrcmpiA(a.name.c_str(), b.name.c_str()) < 0;
}

std::string DateText(const FILETIME& written) {
    FILETIME local;
    SYSTEMTIME t;
    if ((!written.dwLowDateTime && !written.dwHighDateTime) ||
        !FileTimeToLocalFileTime(&written, &local) || !FileTimeToSystemTime(&local, &t))
        return "";
    char text[16];
    std::snprintf(text, sizeof text, "%02d.%02d.%02d", t.wDay, t.wMonth, t.wYear % 100);
    return text;
}

std::string SizeText(const PanelEntry& e, int width) {
    std::string s = e.IsUp() ? "Up" : e.IsFolder() ? "Folder" : Grouped(e.size);
    if (e.IsUp() || e.IsFolder()) s = "<" + s + ">";
    if ((int)s.size() > width) s = std::to_string(e.size);
    return std::string(std::max(0, width - (int)s.size()), ' ') + s;
}

// A name wider than its column ends in '}', as the host marks it.
std::string Fit(const std::string& text, int width) {
    if ((int)text.size() <= width) return text + std::string(width - text.size(), ' ');
    return text.substr(0, width - 1) + "}";
}

}  // namespace

std::string Grouped(ULONGLONG value) {
    std::string digits = std::to_string(value), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string ParentFolder(const std::string& folder) {
    if (IsRoot(folder)) return "";
    size_t slash = folder.find_last_of('\\');
    if (slash == std::string::npos) return "";
    return slash <= 2 ? folder.substr(0, 3) : folder.substr(0, slash);
}

std::string LastComponent(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '\\') return folder + name;
    return folder + "\\" + name;
}

// --- reading --------------------------------------------------------------------------

void FilePanel::ReadFolder() {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(JoinPath(folder, "*").c_str(), &found);
    bool up = false;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            PanelEntry e;
            e.name = found.cFileName;
            if (e.name == "." || (e.name == ".." && IsRoot(folder))) continue;
            up = up || e.IsUp();
            e.attributes = found.dwFileAttributes;
            e.size = ((ULONGLONG)found.nFileSizeHigh << 32) | found.nFileSizeLow;
            e.written = found.ftLastWriteTime;
            entries.push_back(e);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    if (!up && !IsRoot(folder)) {
        PanelEntry e;
        e.name = "..";
        e.attributes = FILE_ATTRIBUTE_DIRECTORY;
        entries.push_back(e);
    }
}

void FilePanel::ReadPlugin(HostEmulator& host, bool& ok) {
    ok = host.ReadPanel(plugin, listing);
    if (!ok) return;
    // The host asks for the panel's description again after the listing, so
    // the information lines are those of the folder just read.
    if (host.Exports().GetOpenPluginInfo) {
        host::OpenPluginInfo again;
        std::memset(&again, 0, sizeof again);
        host.Exports().GetOpenPluginInfo(plugin, &again);
        listing.infoLines.clear();
        for (int i = 0; i < again.InfoLinesNumber && again.InfoLines; ++i)
            listing.infoLines.push_back(again.InfoLines[i]);
        if (again.PanelTitle) listing.panelTitle = again.PanelTitle;
    }
    bool up = false;
    for (const host::PluginPanelItem& item : listing.items) {
        PanelEntry e;
        e.item = item;
        e.name = item.FindData.cFileName;
        up = up || e.IsUp();
        e.attributes = item.FindData.dwFileAttributes;
        e.size = ((ULONGLONG)item.FindData.nFileSizeHigh << 32) | item.FindData.nFileSizeLow;
        e.written = item.FindData.ftLastWriteTime;
        e.item.Flags &= ~host::PPIF_SELECTED;
        entries.push_back(e);
    }
    // At the plug-in's top level ".." leads out of it.
    if (!up && (listing.flags & OPIF_ADDDOTS)) {
        PanelEntry e;
        e.name = "..";
        e.attributes = FILE_ATTRIBUTE_DIRECTORY;
        entries.push_back(e);
    }
}

bool FilePanel::Read(HostEmulator& host) {
    std::set<std::string> selected;
    for (const PanelEntry& e : entries)
        if (e.selected) selected.insert(e.name);
    std::string at = CurrentEntry() ? CurrentEntry()->name : "";
    int oldCurrent = current;

    entries.clear();
    bool ok = true;
    if (kind == Plugin) ReadPlugin(host, ok);
    else ReadFolder();
    std::sort(entries.begin(), entries.end(), Before);
    for (PanelEntry& e : entries) e.selected = selected.count(e.name) != 0;

    current = std::min(oldCurrent, std::max(0, (int)entries.size() - 1));
    if (!at.empty()) MoveTo(at);
    return ok;
}

// --- the cursor and the selection --------------------------------------------------

const PanelEntry* FilePanel::CurrentEntry() const {
    return current >= 0 && current < (int)entries.size() ? &entries[current] : nullptr;
}

std::vector<PanelEntry> FilePanel::Chosen() const {
    std::vector<PanelEntry> out;
    for (const PanelEntry& e : entries)
        if (e.selected && !e.IsUp()) out.push_back(e);
    if (out.empty() && CurrentEntry() && !CurrentEntry()->IsUp()) out.push_back(*CurrentEntry());
    return out;
}

void FilePanel::MoveTo(const std::string& name) {
    for (size_t i = 0; i < entries.size(); ++i)
        if (lstrcmpiA(entries[i].name.c_str(), name.c_str()) == 0) current = (int)i;
}

void FilePanel::Move(int delta) {
    current = std::max(0, std::min((int)entries.size() - 1, current + delta));
}

std::string FilePanel::Title() const {
    if (info) return "Information";
    return kind == Plugin ? listing.panelTitle : folder;
}

// --- drawing --------------------------------------------------------------------------

void FilePanel::Draw(Screen& screen, int x, int y, int w, int h, bool active,
                     const FilePanel& about) const {
    screen.Fill(x, y, w, h, ' ', kPanelText);
    screen.Frame(x, y, x + w - 1, y + h - 1, true, kPanelText);
    std::string caption = " " + Title() + " ";
    if ((int)caption.size() > w - 4) caption = " ..." + caption.substr(caption.size() - (w - 8));
    auto drawTitle = [&] {
        screen.Text(x + (w - (int)caption.size()) / 2, y, caption,
                    active && !info ? kPanelTitleActive : kPanelText);
    };
    if (info) {
        drawTitle();
        DrawInfo(screen, x, y, w, h, about);
        return;
    }

    // Columns: name | size | date, the last two dropped on narrow panels.
    int inner = w - 2;
    int sizeWidth = 10, dateWidth = inner >= 40 ? 8 : 0;
    int nameWidth = inner - sizeWidth - 1 - (dateWidth ? dateWidth + 1 : 0);
    int sizeX = x + 1 + nameWidth + 1, dateX = sizeX + sizeWidth + 1;
    int statusY = y + h - 2, ruleY = y + h - 3;
    rows_ = std::max(1, h - 5);

    screen.Text(x + 1 + (nameWidth - 4) / 2, y + 1, "Name", kPanelHeading);
    screen.Text(sizeX + (sizeWidth - 4) / 2, y + 1, "Size", kPanelHeading);
    if (dateWidth) screen.Text(dateX + (dateWidth - 4) / 2, y + 1, "Date", kPanelHeading);
    for (int col : {sizeX - 1, dateX - 1}) {
        if (col == dateX - 1 && !dateWidth) break;
        screen.Cell(col, y, (char)box::HHDown, kPanelText);
        for (int row = y + 1; row < ruleY; ++row) screen.Cell(col, row, (char)box::V, kPanelText);
    }
    screen.Rule(x + 1, x + w - 2, ruleY, kPanelText);
    screen.Cell(sizeX - 1, ruleY, (char)0xC1, kPanelText);
    if (dateWidth) screen.Cell(dateX - 1, ruleY, (char)0xC1, kPanelText);

    drawTitle();

    if (current < top) top = current;
    if (current >= top + rows_) top = current - rows_ + 1;
    for (int row = 0; row < rows_ && top + row < (int)entries.size(); ++row) {
        const PanelEntry& e = entries[top + row];
        bool cursor = active && top + row == current;
        WORD attr = e.selected ? (cursor ? kPanelCursorSel : kPanelSelected)
                               : cursor ? kPanelCursor
                               : e.IsFolder() ? kPanelFolder : kPanelText;
        int ry = y + 2 + row;
        screen.Text(x + 1, ry, Fit(e.name, nameWidth), attr);
        screen.Text(sizeX, ry, SizeText(e, sizeWidth), attr);
        if (dateWidth) screen.Text(dateX, ry, Fit(DateText(e.written), dateWidth), attr);
    }

    if (const PanelEntry* e = CurrentEntry()) {
        std::string right = SizeText(*e, sizeWidth) + " " + DateText(e->written);
        int nameRoom = std::max(1, inner - (int)right.size() - 1);
        screen.Text(x + 1, statusY, Fit(e->name, nameRoom) + " " + right, kPanelText, inner);
    }
    int count = 0;
    ULONGLONG bytes = 0;
    for (const PanelEntry& e : entries)
        if (e.selected) ++count, bytes += e.size;
    if (count) {
        std::string s = " " + Grouped(bytes) + " bytes in " + std::to_string(count) +
                        (count == 1 ? " item " : " items ");
        screen.Text(x + std::max(1, (w - (int)s.size()) / 2), y + h - 1, s, kPanelSelected, w - 2);
    }
}

void FilePanel::DrawInfo(Screen& screen, int x, int y, int w, int h,
                         const FilePanel& about) const {
    int inner = w - 4, row = y + 2;
    auto line = [&](const std::string& text, const std::string& data) {
        if (row >= y + h - 1) return;
        screen.Text(x + 2, row, text, kPanelText, inner);
        int dx = x + 2 + inner - (int)data.size();
        screen.Text(std::max(dx, x + 2 + (int)text.size() + 1), row, data, kPanelFolder, inner);
        ++row;
    };
    auto separator = [&](const std::string& text) {
        if (row >= y + h - 1) return;
        screen.Rule(x + 1, x + w - 2, row, kPanelText);
        if (!text.empty()) {
            std::string s = " " + text + " ";
            screen.Text(x + (w - (int)s.size()) / 2, row, s, kPanelFolder, w - 2);
        }
        ++row;
    };
    if (about.kind == Plugin) {
        if (about.listing.infoLines.empty()) line(about.Title(), "");
        for (const host::InfoPanelLine& l : about.listing.infoLines) {
            std::string text(l.Text, strnlen(l.Text, sizeof l.Text));
            std::string data(l.Data, strnlen(l.Data, sizeof l.Data));
            if (l.Separator) separator(text);
            else line(text, data);
        }
        return;
    }
    separator("Folder");
    line(about.folder, "");
    ULARGE_INTEGER freeBytes, total;
    if (GetDiskFreeSpaceExA(JoinPath(about.folder, "").c_str(), &freeBytes, &total, nullptr)) {
        line("Total size", Grouped(total.QuadPart));
        line("Free space", Grouped(freeBytes.QuadPart));
    }
}

}  // namespace host_emu
