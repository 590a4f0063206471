#include "language_file.h"

#include <windows.h>

#include <fstream>
#include <sstream>

namespace host_emu {

namespace {

const char kHeader[] = ".Language=";

std::string Trim(const std::string& line) {
    const char* blanks = " \t\r\n";
    size_t first = line.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    size_t last = line.find_last_not_of(blanks);
    return line.substr(first, last - first + 1);
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

}  // namespace

std::string UnescapeMessage(const std::string& body) {
    std::string out;
    for (size_t i = 0; i < body.size(); ++i) {
        char c = body[i];
        char next = i + 1 < body.size() ? body[i + 1] : 0;
        if (c == '\\') {
            char replaced = 0;
            switch (next) {
            case '\\': replaced = '\\'; break;
            case '"': replaced = '"'; break;
            case 'n': replaced = '\n'; break;
            case 'r': replaced = '\r'; break;
            case 'b': replaced = '\b'; break;
            case 't': replaced = '\t'; break;
            default: break;
            }
            if (replaced) {
                out += replaced;
                ++i;
                continue;
            }
        } else if (c == '"' && next == '"') {
            out += '"';
            ++i;
            continue;
        }
        out += c;
    }
    return out;
}

LanguageFile ParseLanguageFile(const std::string& text) {
    LanguageFile file;
    std::istringstream lines(text);
    std::string line;
    bool headerSeen = false;
    while (std::getline(lines, line)) {
        // The header counts only from column 0: a byte-order mark or a
        // leading blank hides it from the host.
        if (!headerSeen && line.compare(0, sizeof kHeader - 1, kHeader) == 0) {
            std::string value = Trim(line.substr(sizeof kHeader - 1));
            size_t comma = value.find(',');
            file.name = value.substr(0, comma);
            if (comma != std::string::npos) file.description = value.substr(comma + 1);
            headerSeen = true;
            continue;
        }
        std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] != '"') continue;  // comments, blanks, controls
        std::string body = trimmed.substr(1);
        if (!body.empty() && body.back() == '"') body.pop_back();
        file.messages.push_back(UnescapeMessage(body));
    }
    return file;
}

bool ReadLanguageFile(const std::string& path, LanguageFile& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    out = ParseLanguageFile(text.str());
    out.path = path;
    return true;
}

std::vector<LanguageFile> ReadLanguageFolder(const std::string& folder) {
    std::vector<LanguageFile> files;
    std::string prefix = folder;
    if (!prefix.empty() && prefix.back() != '\\' && prefix.back() != '/') prefix += '\\';
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((prefix + "*.lng").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        LanguageFile file;
        if (ReadLanguageFile(prefix + found.cFileName, file)) files.push_back(file);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return files;
}

int ChooseLanguageFile(const std::vector<LanguageFile>& files, const std::string& language) {
    for (size_t i = 0; i < files.size(); ++i)
        if (SameIgnoringCase(files[i].name, language)) return (int)i;
    for (size_t i = 0; i < files.size(); ++i)
        if (SameIgnoringCase(files[i].name, "English")) return (int)i;
    return files.empty() ? -1 : (int)files.size() - 1;
}

}  // namespace host_emu
