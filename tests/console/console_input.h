// The process's console input, as the console tests type into it. The
// plug-in reads the keyboard itself during a copy, so these tests need a real
// console (a pseudo-terminal under Wine).
#pragma once

#include <windows.h>

#include "host_emulator.h"

#include <gtest/gtest.h>

#include <string>

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

// The console tests' one fixture, over the fixture of what they drive: the
// console input emptied first, keys typed into it, and a phone slow enough
// for a key to land where the test means it to.
template <class Base>
class ConsoleTest : public Base {
protected:
    void SetUp() override
    {
        Base::SetUp();
        input = EmptyConsoleInput();
    }

    void Type(WCHAR character, WORD virtualKey) { TypeKey(input, character, virtualKey); }

    // Steps far enough apart that the plug-in looks at the keys at every
    // draw, so where a key is read doesn't depend on the machine's speed.
    void SlowCopySteps()
    {
        this->phone->Options().chunkSize = 8192;
        this->phone->Options().delayMs = 25;
    }

    // Types the key once, at the `nth` draw of the copy box naming `name`.
    void TypeAtDraw(const std::string& name, int nth, WCHAR character, WORD virtualKey)
    {
        this->host->SetHook([=](const host_emu::JournalEntry& e) {
            if (e.IsProgress() && e.lines[1] == name && ++draws == nth) Type(character, virtualKey);
        });
    }

    HANDLE input = INVALID_HANDLE_VALUE;
    int draws = 0;  // of the box TypeAtDraw watches
};

}  // namespace kelp_test
