// A test whose wait never ends would hang until ctest's timeout, five
// minutes on, and say nothing. A Watchdog ends the program instead, with
// exit code 3, when it is still alive `seconds` after it was made or last
// told what the test waits for, and prints the test's name and that wait.
// The process is terminated outright: the stuck thread may hold anything.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

class Watchdog {
public:
    explicit Watchdog(const char* what, DWORD seconds = 30) : what_(what), seconds_(seconds)
    {
        changed_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, &Run, this, 0, nullptr);
    }
    ~Watchdog()
    {
        InterlockedExchange(&stop_, 1);
        SetEvent(changed_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        CloseHandle(changed_);
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // What the test waits for from now on; the count starts again.
    void Waiting(const char* what)
    {
        InterlockedExchangePointer((void* volatile*)&what_, (void*)what);
        SetEvent(changed_);
    }

private:
    static DWORD WINAPI Run(void* self)
    {
        Watchdog* dog = static_cast<Watchdog*>(self);
        while (WaitForSingleObject(dog->changed_, dog->seconds_ * 1000) == WAIT_OBJECT_0)
            if (dog->stop_) return 0;
        if (dog->stop_) return 0;  // stopped just as the time ran out
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        fflush(stdout);
        fprintf(stderr, "\nwatchdog: %s%s%s still waits after %lu s for %s\n",
                test ? test->test_suite_name() : "", test ? "." : "", test ? test->name() : "",
                (unsigned long)dog->seconds_, dog->what_);
        fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
        return 0;
    }

    const char* volatile what_;
    DWORD seconds_;
    volatile LONG stop_ = 0;
    HANDLE changed_ = nullptr;
    HANDLE thread_ = nullptr;
};
