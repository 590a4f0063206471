#include "console_screen.h"

#include <algorithm>

namespace host_emu {

bool Screen::Open() {
    out_ = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(out_, &info)) return false;
    width_ = info.srWindow.Right - info.srWindow.Left + 1;
    height_ = info.srWindow.Bottom - info.srWindow.Top + 1;
    CHAR_INFO blank;
    blank.Char.AsciiChar = ' ';
    blank.Attributes = kCommandLine;
    cells_.assign((size_t)width_ * height_, blank);
    return true;
}

void Screen::Cell(int x, int y, char ch, WORD attr) {
    if (!Inside(x, y)) return;
    CHAR_INFO& c = cells_[(size_t)y * width_ + x];
    c.Char.AsciiChar = ch;
    c.Attributes = attr;
}

char Screen::CharAt(int x, int y) const {
    return Inside(x, y) ? cells_[(size_t)y * width_ + x].Char.AsciiChar : 0;
}

void Screen::Fill(int x, int y, int w, int h, char ch, WORD attr) {
    for (int row = y; row < y + h; ++row)
        for (int col = x; col < x + w; ++col) Cell(col, row, ch, attr);
}

void Screen::Text(int x, int y, const std::string& s, WORD attr, int maxWidth) {
    int n = (int)s.size();
    if (maxWidth >= 0) n = std::min(n, maxWidth);
    for (int i = 0; i < n; ++i) Cell(x + i, y, s[i], attr);
}

void Screen::Frame(int x1, int y1, int x2, int y2, bool d, WORD attr) {
    for (int x = x1 + 1; x < x2; ++x) {
        Cell(x, y1, (char)(d ? box::HH : box::H), attr);
        Cell(x, y2, (char)(d ? box::HH : box::H), attr);
    }
    for (int y = y1 + 1; y < y2; ++y) {
        Cell(x1, y, (char)(d ? box::VV : box::V), attr);
        Cell(x2, y, (char)(d ? box::VV : box::V), attr);
    }
    Cell(x1, y1, (char)(d ? box::TTL : box::TL), attr);
    Cell(x2, y1, (char)(d ? box::TTR : box::TR), attr);
    Cell(x1, y2, (char)(d ? box::TBL : box::BL), attr);
    Cell(x2, y2, (char)(d ? box::TBR : box::BR), attr);
}

void Screen::Rule(int x1, int x2, int y, WORD attr, bool d) {
    for (int x = x1; x <= x2; ++x) Cell(x, y, (char)(d ? box::HH : box::H), attr);
    if ((unsigned char)CharAt(x1 - 1, y) == box::VV)
        Cell(x1 - 1, y, (char)(d ? box::VVRight2 : box::VVRight), attr);
    if ((unsigned char)CharAt(x2 + 1, y) == box::VV)
        Cell(x2 + 1, y, (char)(d ? box::VVLeft2 : box::VVLeft), attr);
}

void Screen::Shadow(int x1, int y1, int x2, int y2) {
    auto darken = [&](int x, int y) {
        if (Inside(x, y)) cells_[(size_t)y * width_ + x].Attributes = 0x08;
    };
    for (int y = y1 + 1; y <= y2 + 1; ++y) {
        darken(x2 + 1, y);
        darken(x2 + 2, y);
    }
    for (int x = x1 + 2; x <= x2 + 2; ++x) darken(x, y2 + 1);
}

void Screen::Cursor(int x, int y) {
    CONSOLE_CURSOR_INFO info = {20, TRUE};
    SetConsoleCursorInfo(out_, &info);
    SetConsoleCursorPosition(out_, COORD{(SHORT)x, (SHORT)y});
}

void Screen::HideCursor() {
    CONSOLE_CURSOR_INFO info = {20, FALSE};
    SetConsoleCursorInfo(out_, &info);
}

void Screen::Flush() {
    COORD size = {(SHORT)width_, (SHORT)height_};
    SMALL_RECT area = {0, 0, (SHORT)(width_ - 1), (SHORT)(height_ - 1)};
    WriteConsoleOutputA(out_, cells_.data(), size, COORD{0, 0}, &area);
}

Screen::Saved Screen::Save(int x1, int y1, int x2, int y2) {
    Saved saved;
    x1 = std::max(x1, 0);
    y1 = std::max(y1, 0);
    x2 = std::min(x2, width_ - 1);
    y2 = std::min(y2, height_ - 1);
    if (x2 < x1 || y2 < y1) return saved;
    saved.rect = SMALL_RECT{(SHORT)x1, (SHORT)y1, (SHORT)x2, (SHORT)y2};
    COORD size = {(SHORT)(x2 - x1 + 1), (SHORT)(y2 - y1 + 1)};
    saved.cells.resize((size_t)size.X * size.Y);
    SMALL_RECT area = saved.rect;
    if (!ReadConsoleOutputA(out_, saved.cells.data(), size, COORD{0, 0}, &area)) {
        // Without a readable console the buffer is the best copy there is.
        for (int y = y1; y <= y2; ++y)
            for (int x = x1; x <= x2; ++x)
                saved.cells[(size_t)(y - y1) * size.X + (x - x1)] = cells_[(size_t)y * width_ + x];
    }
    GetConsoleCursorInfo(out_, &saved.cursorInfo);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(out_, &info)) saved.cursorAt = info.dwCursorPosition;
    return saved;
}

void Screen::Restore(const Saved& saved) {
    if (saved.cells.empty()) return;
    const SMALL_RECT& r = saved.rect;
    int w = r.Right - r.Left + 1;
    for (int y = r.Top; y <= r.Bottom; ++y)
        for (int x = r.Left; x <= r.Right; ++x)
            cells_[(size_t)y * width_ + x] = saved.cells[(size_t)(y - r.Top) * w + (x - r.Left)];
    COORD size = {(SHORT)w, (SHORT)(r.Bottom - r.Top + 1)};
    SMALL_RECT area = r;
    WriteConsoleOutputA(out_, saved.cells.data(), size, COORD{0, 0}, &area);
    SetConsoleCursorInfo(out_, &saved.cursorInfo);
    SetConsoleCursorPosition(out_, saved.cursorAt);
}

}  // namespace host_emu
