// Files and folders for tests and benchmarks, by their UTF-16 names, so a
// test's own set-up never depends on the code page under test.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace test_files {

// A new, empty folder under the temporary folder, named after `prefix`.
std::wstring MakeTempFolder(const wchar_t* prefix = L"kelp-test");
void RemoveTree(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);  // "<missing>" when it cannot be opened
bool Exists(const std::wstring& path);
std::vector<std::wstring> Names(const std::wstring& folder);  // sorted, without . and ..

}  // namespace test_files
