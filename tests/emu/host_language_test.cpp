// The host's language files, read from small files in a temporary folder.
#include "host_emulator.h"
#include "language_file.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

using namespace host_emu;

namespace {

class HostLanguageFolder : public ::testing::Test {
protected:
    void SetUp() override {
        std::wstring folder = test_files::MakeTempFolder(L"kelp-lng");
        UINT codePage = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
        char narrow[MAX_PATH] = "";
        WideCharToMultiByte(codePage, 0, folder.c_str(), -1, narrow, MAX_PATH, nullptr, nullptr);
        folder_ = narrow;
    }
    void TearDown() override {
        for (const std::string& file : files_) DeleteFileA(file.c_str());
        RemoveDirectoryA(folder_.c_str());
    }
    void write(const std::string& name, const std::string& bytes) {
        std::string path = folder_ + "\\" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        files_.push_back(path);
    }

    std::string folder_;
    std::vector<std::string> files_;
};

}  // namespace

TEST(HostLanguageFile, NumbersQuotedLinesAndSkipsTheRest) {
    LanguageFile file = ParseLanguageFile(
        ".Language=English,English (UK)\r\n"
        "// a comment with \"quotes\"\r\n"
        "\r\n"
        "\"first\"\r\n"
        "   \t\"indented\"  \r\n"
        ".Options something\r\n"
        "\"no closing quote\r\n"
        "\"\"\r\n"
        "not a message\r\n"
        "\"last\"");
    EXPECT_EQ(file.name, "English");
    EXPECT_EQ(file.description, "English (UK)");
    ASSERT_EQ(file.messages.size(), 5u);
    EXPECT_EQ(file.messages[0], "first");
    EXPECT_EQ(file.messages[1], "indented");
    EXPECT_EQ(file.messages[2], "no closing quote");
    EXPECT_EQ(file.messages[3], "");
    EXPECT_EQ(file.messages[4], "last");
}

TEST(HostLanguageFile, Escapes) {
    EXPECT_EQ(UnescapeMessage("a\\\\b"), "a\\b");
    EXPECT_EQ(UnescapeMessage("say \\\"hi\\\""), "say \"hi\"");
    EXPECT_EQ(UnescapeMessage("1\\n2\\r3\\b4\\t5"), "1\n2\r3\b4\t5");
    EXPECT_EQ(UnescapeMessage("C:\\dir"), "C:\\dir");  // unknown escape stays
    EXPECT_EQ(UnescapeMessage("a \"\"quoted\"\" word"), "a \"quoted\" word");
    EXPECT_EQ(UnescapeMessage("lone \" quote"), "lone \" quote");
    LanguageFile file = ParseLanguageFile(".Language=English,E\n\"Copy \\\"%s\\\" to\\n%s\"\n");
    ASSERT_EQ(file.messages.size(), 1u);
    EXPECT_EQ(file.messages[0], "Copy \"%s\" to\n%s");
}

TEST(HostLanguageFile, HeaderOnlyAtColumnZero) {
    EXPECT_EQ(ParseLanguageFile(" .Language=Russian,R\n\"x\"\n").name, "");
    EXPECT_EQ(ParseLanguageFile("\xEF\xBB\xBF.Language=Russian,R\n\"x\"\n").name, "");
    EXPECT_EQ(ParseLanguageFile("// c\n.Language=Russian,Russian (Русский)\n").name, "Russian");
}

TEST(HostLanguageFile, ChoosesByNameThenEnglishThenLast) {
    std::vector<LanguageFile> files(3);
    files[0].name = "German";
    files[1].name = "English";
    files[2].name = "Russian";
    EXPECT_EQ(ChooseLanguageFile(files, "russian"), 2);
    EXPECT_EQ(ChooseLanguageFile(files, "French"), 1);
    files[1].name = "Polish";
    EXPECT_EQ(ChooseLanguageFile(files, "French"), 2);
    EXPECT_EQ(ChooseLanguageFile({}, "English"), -1);
}

TEST_F(HostLanguageFolder, GetMsgReadsTheChosenFileAndKeepsOemBytes) {
    write("TestEng.lng", ".Language=English,English\n\"Phone\"\n\"Copy\"\n");
    // CP866 bytes of "Телефон" and "Копия": handed over unchanged.
    write("TestRus.lng", ".Language=Russian,Russian\n\"\x92\xa5\xab\xa5\xe4\xae\xad\"\n"
                         "\"\x8a\xae\xaf\xa8\xef\"\n");
    write("notes.txt", "\"not a language file\"\n");

    HostOptions options;
    options.languageFolder = folder_;
    options.language = "Russian";
    HostEmulator host(options);
    EXPECT_STREQ(host.GetMsg(options.moduleNumber, 1), "\x8a\xae\xaf\xa8\xef");
    EXPECT_TRUE(host.Journal().Faults().empty()) << host.Journal().Dump();
    ASSERT_NE(host.LanguageFile(), nullptr);
    EXPECT_EQ(host.LanguageFile()->name, "Russian");

    HostOptions english = options;
    english.language = "English";
    HostEmulator second(english);
    EXPECT_STREQ(second.GetMsg(english.moduleNumber, 0), "Phone");
}

TEST_F(HostLanguageFolder, BadIdsAndPluginNumbersAnswerEmptyAndAreFaults) {
    write("TestEng.lng", ".Language=English,English\n\"only\"\n");
    HostOptions options;
    options.languageFolder = folder_;
    HostEmulator host(options);

    const char* past = host.GetMsg(options.moduleNumber, 1);
    ASSERT_NE(past, nullptr);
    EXPECT_STREQ(past, "");
    EXPECT_EQ(host.Journal().Faults().size(), 1u);
    EXPECT_STREQ(host.GetMsg(options.moduleNumber, -1), "");
    EXPECT_STREQ(host.GetMsg(options.moduleNumber + 1, 0), "");
    EXPECT_EQ(host.Journal().Faults().size(), 3u);
    EXPECT_STREQ(host.GetMsg(options.moduleNumber, 0), "only");
    EXPECT_EQ(host.Journal().Faults().size(), 3u);
}

TEST_F(HostLanguageFolder, NoLanguageFileIsAFault) {
    HostOptions options;
    options.languageFolder = folder_;
    HostEmulator host(options);
    EXPECT_STREQ(host.GetMsg(options.moduleNumber, 0), "");
    EXPECT_EQ(host.Journal().Faults().size(), 1u);
}
