#include "console_boxes.h"

#include "host_api.h"

#include <algorithm>
#include <cctype>

namespace host_emu {

namespace {

enum : DWORD {
    DIF_CENTERGROUP = 0x4000,
    DIF_NOBRACKETS = 0x8000,
    DIF_SEPARATOR = 0x10000,
    DIF_BTNNOCLOSE = 0x40000,  // on a button
    DIF_CENTERTEXT = 0x40000,  // on a text
    DIF_READONLY = 0x20000000,
    DIF_HIDDEN = 0x10000000,
    DIF_NOFOCUS = 0x40000000,
    DIF_DISABLE = 0x80000000,
    DIF_GROUP = 0x400,
};

struct Colours {
    WORD text, hotkey, focus;
};

Colours ColoursFor(bool warning) {
    return warning ? Colours{kWarning, kWarningHotkey, kWarningFocus}
                   : Colours{kDialog, kDialogHotkey, kDialogFocus};
}

// Draws "[ caption ]" with its hotkey lit; returns the width taken.
int DrawButton(Screen& screen, int x, int y, const std::string& caption, bool brackets,
               WORD attr, WORD hotAttr) {
    std::string shown = brackets ? "[ " : "";
    int hotAt = -1;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size() && hotAt < 0) {
            hotAt = (int)shown.size();
            continue;
        }
        shown += caption[i];
    }
    if (brackets) shown += " ]";
    screen.Text(x, y, shown, attr);
    if (hotAt >= 0) screen.Cell(x + hotAt, y, shown[hotAt], hotAttr);
    return (int)shown.size();
}

int ButtonWidth(const std::string& caption, bool brackets) {
    return (int)StripHotkey(caption).size() + (brackets ? 4 : 0);
}

bool IsFrame(int type) { return type == host::DI_SINGLEBOX || type == host::DI_DOUBLEBOX; }

bool Focusable(const DialogItemRecord& item) {
    if (IsFrame(item.type) || item.type == host::DI_TEXT || item.type == host::DI_VTEXT)
        return false;
    return !(item.flags & (DIF_DISABLE | DIF_NOFOCUS | DIF_HIDDEN));
}

bool IsSeparator(const std::string& line) {
    return !line.empty() && (line[0] == '\x01' || line[0] == '\x02');
}

char Lower(char c) { return (char)std::tolower((unsigned char)c); }

// A rule across the box with its text centred on it.
void DrawSeparator(Screen& screen, int x1, int x2, int y, const std::string& text, WORD attr,
                   bool doubleLine) {
    screen.Rule(x1, x2, y, attr, doubleLine);
    if (text.empty()) return;
    std::string shown = " " + text + " ";
    int width = x2 - x1 + 1;
    screen.Text(x1 + std::max(0, (width - (int)shown.size()) / 2), y, shown, attr, width);
}

// The host's separator item: a rule from the frame's left side to its
// right, its ends joined to a double frame whether one is drawn there or
// not, with its text centred across the dialog.
void DrawSeparatorItem(Screen& screen, const RECT& dialog, int y, const std::string& text,
                       WORD attr) {
    int x1 = dialog.left + 3, x2 = dialog.right - 3;
    screen.Fill(x1 + 1, y, x2 - x1 - 1, 1, (char)box::H, attr);
    screen.Cell(x1, y, (char)box::VVRight, attr);
    screen.Cell(x2, y, (char)box::VVLeft, attr);
    if (text.empty()) return;
    int width = dialog.right - dialog.left + 1;
    screen.Text(dialog.left + std::max(0, (width - (int)text.size()) / 2), y, text, attr, width);
}

// Each button's column: a group marked DIF_CENTERGROUP on one row is laid out
// centred across the dialog, one blank between buttons.
std::vector<int> ButtonColumns(const JournalEntry& dialog) {
    const std::vector<DialogItemRecord>& items = dialog.itemsAfter;
    int width = dialog.box.right - dialog.box.left + 1;
    std::vector<int> x(items.size());
    for (size_t i = 0; i < items.size(); ++i) x[i] = items[i].x1;
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].type != host::DI_BUTTON || !(items[i].flags & DIF_CENTERGROUP)) continue;
        if (i > 0 && items[i - 1].type == host::DI_BUTTON &&
            (items[i - 1].flags & DIF_CENTERGROUP) && items[i - 1].y1 == items[i].y1)
            continue;  // laid out with its group's first button
        size_t end = i;
        int total = -1;
        while (end < items.size() && items[end].type == host::DI_BUTTON &&
               (items[end].flags & DIF_CENTERGROUP) && items[end].y1 == items[i].y1) {
            total += ButtonWidth(items[end].data, !(items[end].flags & DIF_NOBRACKETS)) + 1;
            ++end;
        }
        int at = (width - total) / 2;
        for (size_t j = i; j < end; ++j) {
            x[j] = at;
            at += ButtonWidth(items[j].data, !(items[j].flags & DIF_NOBRACKETS)) + 1;
        }
    }
    return x;
}

}  // namespace

std::string StripHotkey(const std::string& caption, char* hotkey) {
    std::string out;
    if (hotkey) *hotkey = 0;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) {
            if (hotkey && !*hotkey) *hotkey = Lower(caption[i + 1]);
            continue;
        }
        out += caption[i];
    }
    return out;
}

// --- message boxes ------------------------------------------------------------------

ConsoleFrontEnd::Geometry ConsoleFrontEnd::DrawMessage(const JournalEntry& box, int focus) {
    Colours c = ColoursFor(box.flags & host::FMSG_WARNING);
    int width = (int)box.title.size() + 2;
    for (const std::string& line : box.lines)
        width = std::max(width, IsSeparator(line) ? (int)line.size() + 1 : (int)line.size());
    int buttonsWidth = -1;
    for (const std::string& b : box.buttons) buttonsWidth += ButtonWidth(b, true) + 1;
    width = std::max(width, buttonsWidth);
    width = std::min(width, screen_.Width() - 14);

    int boxWidth = width + 10;
    int boxHeight = (int)box.lines.size() + (box.buttons.empty() ? 0 : 1) + 4;
    Geometry g;
    g.x1 = (screen_.Width() - boxWidth) / 2;
    g.y1 = (screen_.Height() - boxHeight) / 2;
    if (box.flags & host::FMSG_DOWN) g.y1 = std::min(g.y1 + boxHeight / 2 + 1, screen_.Height() - boxHeight - 1);
    g.x2 = g.x1 + boxWidth - 1;
    g.y2 = g.y1 + boxHeight - 1;

    screen_.Fill(g.x1, g.y1, boxWidth, boxHeight, ' ', c.text);
    screen_.Frame(g.x1 + 3, g.y1 + 1, g.x2 - 3, g.y2 - 1, true, c.text);
    if (!box.title.empty()) {
        std::string title = " " + box.title + " ";
        title = title.substr(0, width + 2);
        screen_.Text(g.x1 + 3 + (width + 4 - (int)title.size()) / 2, g.y1 + 1, title, c.text);
    }
    int left = g.x1 + 5;
    for (size_t i = 0; i < box.lines.size(); ++i) {
        const std::string& line = box.lines[i];
        int y = g.y1 + 2 + (int)i;
        if (IsSeparator(line)) {
            DrawSeparator(screen_, g.x1 + 4, g.x2 - 4, y, line.substr(1), c.text, line[0] == '\x02');
        } else {
            int x = (box.flags & host::FMSG_LEFTALIGN)
                        ? left
                        : left + std::max(0, (width - (int)line.size()) / 2);
            screen_.Text(x, y, line, c.text, width);
        }
    }
    g.buttonsY = g.y1 + 2 + (int)box.lines.size();
    int x = g.x1 + (boxWidth - buttonsWidth) / 2;
    for (size_t i = 0; i < box.buttons.size(); ++i) {
        bool focused = (int)i == focus;
        x += DrawButton(screen_, x, g.buttonsY, box.buttons[i], true,
                        focused ? c.focus : c.text, focused ? c.focus : c.hotkey) + 1;
    }
    screen_.Shadow(g.x1, g.y1, g.x2, g.y2);
    return g;
}

// The progress box: drawn, left on the screen, and no key read, since the
// plug-in polls the console itself while it copies.
void ConsoleFrontEnd::ShowBox(const JournalEntry& box) {
    DrawMessage(box, -1);
    screen_.HideCursor();
    screen_.Flush();
}

int ConsoleFrontEnd::ChooseButton(const JournalEntry& box) {
    Screen::Saved under = screen_.Save(0, 0, screen_.Width() - 1, screen_.Height() - 1);
    int focus = 0;
    int count = (int)box.buttons.size();
    int answer = -2;
    while (answer == -2) {
        DrawMessage(box, focus);
        screen_.HideCursor();
        screen_.Flush();
        Key key = keys_.Next();
        if (key.Is(VK_ESCAPE) || key.Is(VK_F10)) {
            answer = -1;
        } else if (key.Is(VK_RETURN) || key.Is(VK_SPACE)) {
            answer = focus;
        } else if (key.Is(VK_RIGHT) || (key.Is(VK_TAB) && !key.shift)) {
            focus = (focus + 1) % count;
        } else if (key.Is(VK_LEFT) || (key.Is(VK_TAB) && key.shift)) {
            focus = (focus + count - 1) % count;
        } else if (key.ch && !key.ctrl) {
            for (int i = 0; i < count; ++i) {
                char hotkey = 0;
                StripHotkey(box.buttons[i], &hotkey);
                if (hotkey && hotkey == Lower(key.ch)) answer = i;
            }
        }
    }
    screen_.Restore(under);
    return answer;
}

int ConsoleFrontEnd::AskMessage(const JournalEntry& box, bool& answered) {
    answered = true;
    return ChooseButton(box);
}

int ConsoleFrontEnd::Ask(const std::string& title, const std::vector<std::string>& lines,
                         const std::vector<std::string>& buttons, bool warning) {
    JournalEntry box;
    box.title = title;
    box.lines = lines;
    box.buttons = buttons;
    box.flags = warning ? host::FMSG_WARNING : 0;
    return ChooseButton(box);
}

// --- dialogs -------------------------------------------------------------------------

void ConsoleFrontEnd::DrawDialog(const JournalEntry& dialog, int focus,
                                 const std::vector<int>& cursors) {
    const RECT& b = dialog.box;
    int width = b.right - b.left + 1;
    screen_.Fill(b.left, b.top, width, b.bottom - b.top + 1, ' ', kDialog);
    std::vector<int> columns = ButtonColumns(dialog);
    int cursorX = -1, cursorY = -1;
    for (size_t i = 0; i < dialog.itemsAfter.size(); ++i) {
        const DialogItemRecord& item = dialog.itemsAfter[i];
        if (item.flags & DIF_HIDDEN) continue;
        int x = b.left + item.x1, y = b.top + item.y1;
        bool focused = (int)i == focus;
        switch (item.type) {
        case host::DI_SINGLEBOX:
        case host::DI_DOUBLEBOX: {
            bool d = item.type == host::DI_DOUBLEBOX;
            if (item.y1 == item.y2) {
                // The host draws a box one row high as a bare line: it meets
                // no frame, and a frame beside it keeps its sides.
                screen_.Fill(x, y, item.x2 - item.x1 + 1, 1, (char)(d ? box::HH : box::H), kDialog);
                break;
            }
            screen_.Frame(x, y, b.left + item.x2, b.top + item.y2, d, kDialog);
            if (!item.data.empty()) {
                std::string title = " " + StripHotkey(item.data) + " ";
                screen_.Text(x + std::max(0, (item.x2 - item.x1 + 1 - (int)title.size()) / 2), y,
                             title, kDialog);
            }
            break;
        }
        case host::DI_TEXT:
            if (item.flags & DIF_SEPARATOR) {
                DrawSeparatorItem(screen_, b, y, item.data, kDialog);
            } else if (item.x1 == -1) {
                screen_.Text(b.left + std::max(0, (width - (int)item.data.size()) / 2), y,
                             item.data, kDialog);
            } else if (item.flags & DIF_CENTERTEXT) {
                int span = item.x2 - item.x1 + 1;
                screen_.Text(x + std::max(0, (span - (int)item.data.size()) / 2), y, item.data,
                             kDialog, span);
            } else {
                screen_.Text(x, y, item.data, kDialog, b.right - x);
            }
            break;
        case host::DI_VTEXT:
            for (size_t k = 0; k < item.data.size(); ++k) screen_.Cell(x, y + (int)k, item.data[k], kDialog);
            break;
        case host::DI_BUTTON:
            DrawButton(screen_, b.left + columns[i], y, item.data, !(item.flags & DIF_NOBRACKETS),
                       focused ? kDialogFocus : kDialog, focused ? kDialogFocus : kDialogHotkey);
            break;
        case host::DI_CHECKBOX:
        case host::DI_RADIOBUTTON: {
            bool radio = item.type == host::DI_RADIOBUTTON;
            std::string mark = radio ? (item.selected ? "(*) " : "( ) ")
                                     : (item.selected ? "[x] " : "[ ] ");
            screen_.Text(x, y, mark, kDialog);
            DrawButton(screen_, x + 4, y, item.data, false, kDialog, kDialogHotkey);
            if (focused) cursorX = x + 1, cursorY = y;
            break;
        }
        default:
            if (IsEditItem(item.type)) {
                int span = std::max(1, item.x2 - item.x1 + 1);
                std::string text = item.data;
                if (item.type == host::DI_PSWEDIT) text.assign(text.size(), '*');
                int at = cursors[i];
                int offset = std::max(0, at - span + 1);
                screen_.Fill(x, y, span, 1, ' ', kDialogEdit);
                if (offset < (int)text.size()) screen_.Text(x, y, text.substr(offset), kDialogEdit, span);
                if (focused) cursorX = x + at - offset, cursorY = y;
            }
            break;
        }
    }
    screen_.Shadow(b.left, b.top, b.right, b.bottom);
    screen_.Flush();
    if (cursorX >= 0) screen_.Cursor(cursorX, cursorY);
    else screen_.HideCursor();
}

int ConsoleFrontEnd::RunDialog(JournalEntry& dialog, bool& answered) {
    answered = true;
    std::vector<DialogItemRecord>& items = dialog.itemsAfter;
    int count = (int)items.size();
    int focus = -1;
    for (int i = 0; i < count; ++i)
        if (Focusable(items[i]) && (focus < 0 || (items[i].focus && !items[focus].focus))) focus = i;
    std::vector<int> cursors(count);
    for (int i = 0; i < count; ++i) cursors[i] = (int)items[i].data.size();

    auto step = [&](int direction) {
        for (int n = 0; n < count; ++n) {
            focus = (focus + direction + count) % count;
            if (Focusable(items[focus])) return;
        }
    };
    auto press = [&](int i) -> int {  // the answer, or -2 to stay open
        DialogItemRecord& item = items[i];
        focus = i;
        if (item.type == host::DI_CHECKBOX) {
            item.selected = !item.selected;
        } else if (item.type == host::DI_RADIOBUTTON) {
            for (int j = i; j >= 0 && items[j].type == host::DI_RADIOBUTTON; --j) {
                items[j].selected = 0;
                if (items[j].flags & DIF_GROUP) break;
            }
            for (int j = i + 1; j < count && items[j].type == host::DI_RADIOBUTTON &&
                                !(items[j].flags & DIF_GROUP); ++j)
                items[j].selected = 0;
            item.selected = 1;
        } else if (item.type == host::DI_BUTTON && !(item.flags & DIF_BTNNOCLOSE)) {
            return i;
        }
        return -2;
    };

    Screen::Saved under = screen_.Save(0, 0, screen_.Width() - 1, screen_.Height() - 1);
    int answer = -2;
    while (answer == -2) {
        DrawDialog(dialog, focus, cursors);
        Key key = keys_.Next();
        DialogItemRecord* item = focus >= 0 ? &items[focus] : nullptr;
        bool edit = item && IsEditItem(item->type) && !(item->flags & DIF_READONLY);
        int& at = cursors[focus >= 0 ? focus : 0];
        if (key.Is(VK_ESCAPE) || key.Is(VK_F10)) {
            answer = -1;
        } else if (key.vk == VK_RETURN && !key.alt) {
            answer = item && item->type == host::DI_BUTTON && !key.ctrl ? press(focus)
                                                                      : DialogAnswer::kEnter;
        } else if (key.Is(VK_TAB) || key.Is(VK_DOWN)) {
            step(key.shift && key.vk == VK_TAB ? -1 : 1);
        } else if (key.Is(VK_UP)) {
            step(-1);
        } else if (edit && key.Is(VK_LEFT)) {
            at = std::max(0, at - 1);
        } else if (edit && key.Is(VK_RIGHT)) {
            at = std::min((int)item->data.size(), at + 1);
        } else if (edit && key.Is(VK_HOME)) {
            at = 0;
        } else if (edit && key.Is(VK_END)) {
            at = (int)item->data.size();
        } else if (edit && key.Is(VK_BACK)) {
            if (at > 0) item->data.erase(--at, 1);
        } else if (edit && key.Is(VK_DELETE)) {
            if (at < (int)item->data.size()) item->data.erase(at, 1);
        } else if (edit && key.ch && (unsigned char)key.ch >= 32 && !key.ctrl && !key.alt) {
            if (item->type == host::DI_FIXEDIT && at < (int)item->data.size())
                item->data[at++] = key.ch;
            else if (item->data.size() < 511)
                item->data.insert(item->data.begin() + at++, key.ch);
        } else if (!edit && (key.Is(VK_LEFT) || key.Is(VK_RIGHT))) {
            step(key.vk == VK_LEFT ? -1 : 1);
        } else if (!edit && key.Is(VK_SPACE) && item) {
            answer = press(focus);
        } else if (key.ch && !key.ctrl && (key.alt || !edit)) {
            for (int i = 0; i < count && answer == -2; ++i) {
                char hotkey = 0;
                StripHotkey(items[i].data, &hotkey);
                if (hotkey && hotkey == Lower(key.ch) && Focusable(items[i])) {
                    answer = press(i);
                    break;
                }
            }
        }
    }
    screen_.Restore(under);
    screen_.HideCursor();
    return answer;
}

bool ConsoleFrontEnd::InputLine(const std::string& title, const std::string& prompt,
                                std::string& text) {
    JournalEntry dialog;
    int width = std::min(76, screen_.Width() - 4);
    dialog.box.left = (screen_.Width() - width) / 2;
    dialog.box.top = (screen_.Height() - 8) / 2;
    dialog.box.right = dialog.box.left + width - 1;
    dialog.box.bottom = dialog.box.top + 7;
    auto add = [&](int type, int x1, int y1, int x2, int y2, const std::string& data) {
        DialogItemRecord item;
        item.type = type;
        item.x1 = x1, item.y1 = y1, item.x2 = x2, item.y2 = y2;
        item.data = data;
        dialog.itemsAfter.push_back(item);
        return &dialog.itemsAfter.back();
    };
    add(host::DI_DOUBLEBOX, 3, 1, width - 4, 6, title);
    add(host::DI_TEXT, 5, 2, width - 6, 2, prompt);
    add(host::DI_EDIT, 5, 3, width - 6, 3, text);
    add(host::DI_TEXT, 0, 4, 0, 4, "")->flags = DIF_SEPARATOR;
    add(host::DI_BUTTON, 0, 5, 0, 5, "Ok")->flags = DIF_CENTERGROUP;
    dialog.itemsAfter.back().defaultButton = 1;
    add(host::DI_BUTTON, 0, 5, 0, 5, "Cancel")->flags = DIF_CENTERGROUP;
    bool answered = true;
    int answer = RunDialog(dialog, answered);
    text = dialog.itemsAfter[2].data;
    return answer == 4 || answer == DialogAnswer::kEnter;
}

// --- menus ----------------------------------------------------------------------------

int ConsoleFrontEnd::Menu(const std::string& title, const std::vector<std::string>& items,
                          int selected, int centreX) {
    int width = (int)title.size() + 4;
    for (const std::string& item : items) width = std::max(width, (int)item.size() + 4);
    int height = (int)items.size() + 2;
    int x1 = std::max(0, std::min(centreX - width / 2, screen_.Width() - width - 2));
    int y1 = std::max(0, (screen_.Height() - height) / 2);
    auto usable = [&](int i) { return i >= 0 && i < (int)items.size() && !items[i].empty(); };
    if (!usable(selected)) selected = 0;
    while (selected < (int)items.size() - 1 && !usable(selected)) ++selected;

    Screen::Saved under = screen_.Save(0, 0, screen_.Width() - 1, screen_.Height() - 1);
    int answer = -2;
    while (answer == -2) {
        screen_.Fill(x1, y1, width, height, ' ', kMenu);
        screen_.Frame(x1, y1, x1 + width - 1, y1 + height - 1, true, kMenu);
        screen_.Text(x1 + (width - (int)title.size() - 2) / 2, y1, " " + title + " ", kMenu);
        for (size_t i = 0; i < items.size(); ++i) {
            int y = y1 + 1 + (int)i;
            if (items[i].empty()) {
                screen_.Rule(x1 + 1, x1 + width - 2, y, kMenu);
                continue;
            }
            WORD attr = (int)i == selected ? kMenuCursor : kMenu;
            screen_.Fill(x1 + 1, y, width - 2, 1, ' ', attr);
            screen_.Text(x1 + 2, y, items[i], attr);
        }
        screen_.Shadow(x1, y1, x1 + width - 1, y1 + height - 1);
        screen_.HideCursor();
        screen_.Flush();
        Key key = keys_.Next();
        int n = (int)items.size();
        if (key.Is(VK_ESCAPE) || key.Is(VK_F10)) {
            answer = -1;
        } else if (key.Is(VK_RETURN)) {
            answer = selected;
        } else if (key.Is(VK_DOWN) || key.Is(VK_UP)) {
            int direction = key.vk == VK_DOWN ? 1 : -1;
            do selected = (selected + direction + n) % n;
            while (!usable(selected));
        } else if (key.Is(VK_HOME) || key.Is(VK_END)) {
            selected = key.vk == VK_HOME ? 0 : n - 1;
            while (!usable(selected)) selected += key.vk == VK_HOME ? 1 : -1;
        } else if (key.ch && !key.ctrl) {
            for (int i = 0; i < n; ++i)
                if (usable(i) && Lower(items[i][0]) == Lower(key.ch)) answer = i;
        }
    }
    screen_.Restore(under);
    return answer;
}

// --- saved screens -----------------------------------------------------------------

void ConsoleFrontEnd::SaveScreen(HANDLE screen, int x1, int y1, int x2, int y2) {
    saved_[screen] = screen_.Save(x1, y1, x2, y2);
}

// A null handle asks the host to take the console's contents as they are:
// the buffer here is already written through, so there is nothing to do.
void ConsoleFrontEnd::RestoreScreen(HANDLE screen) {
    auto it = saved_.find(screen);
    if (it == saved_.end()) return;
    screen_.Restore(it->second);
    saved_.erase(it);
}

}  // namespace host_emu
