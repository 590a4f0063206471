// The process's console input, as the console tests type into it. The
// plug-in reads the keyboard itself during a copy, so these tests need a real
// console (a pseudo-terminal under Wine).
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

namespace kelp_test {

// The console input, emptied; fails the test when there is no console, since
// the plug-in could then never see a key and a test would pass for nothing.
inline HANDLE EmptyConsoleInput()
{
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD pending = 0;
    EXPECT_TRUE(GetNumberOfConsoleInputEvents(input, &pending))
        << "no console input: run this program on a terminal";
    FlushConsoleInputBuffer(input);
    return input;
}

// One key pressed, as the terminal would deliver it.
inline void TypeKey(HANDLE input, WCHAR character, WORD virtualKey)
{
    INPUT_RECORD key = {};
    key.EventType = KEY_EVENT;
    key.Event.KeyEvent.bKeyDown = TRUE;
    key.Event.KeyEvent.wRepeatCount = 1;
    key.Event.KeyEvent.wVirtualKeyCode = virtualKey;
    key.Event.KeyEvent.uChar.UnicodeChar = character;
    DWORD written = 0;
    ASSERT_TRUE(WriteConsoleInputW(input, &key, 1, &written));
    ASSERT_EQ(1u, written);
}

}  // namespace kelp_test
