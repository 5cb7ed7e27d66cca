#include <gtest/gtest.h>

#include <thread>

#include "framework/Exceptions.h"
#include "framework/Handles.h"
#include "framework/Strings.h"
#include "framework/TextFile.h"
#include "support/TestSupport.h"

using namespace sw;
using namespace sw::test;

namespace {

class TextFileTest : public testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH + 1] = {};
        ::GetTempPathA(MAX_PATH, temp);
        dir_ = std::string(temp) + "sw-textfile-" + std::to_string(::GetCurrentProcessId());
        ::CreateDirectoryA(dir_.c_str(), nullptr);
        path_ = dir_ + "\\list.txt";
    }
    void TearDown() override {
        RemoveFile(path_);
        WIN32_FIND_DATAA found;
        HANDLE find = ::FindFirstFileA((dir_ + "\\*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do RemoveFile(dir_ + "\\" + found.cFileName);
            while (::FindNextFileA(find, &found));
            ::FindClose(find);
        }
        ::RemoveDirectoryA(dir_.c_str());
    }
    int FilesInDir() const {
        int count = 0;
        WIN32_FIND_DATAA found;
        HANDLE find = ::FindFirstFileA((dir_ + "\\*").c_str(), &found);
        if (find == INVALID_HANDLE_VALUE) return 0;
        do
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++count;
        while (::FindNextFileA(find, &found));
        ::FindClose(find);
        return count;
    }
    std::string dir_;
    std::string path_;
};

}  // namespace

TEST_F(TextFileTest, ListsRoundTripWithCrLfAndEmptyListGivesEmptyFile) {
    TStringList list({"about:test", "11100", "dritte Zeile \xE4"});
    list.SaveToFile(path_);
    EXPECT_EQ(ReadFileBytes(path_), "about:test\r\n11100\r\ndritte Zeile \xE4\r\n");

    TStringList back;
    back.Add("replaced");
    back.LoadFromFile(path_);
    EXPECT_EQ(back.Lines(), list.Lines());

    TStringList().SaveToFile(path_);
    EXPECT_EQ(ReadFileBytes(path_), "");
    EXPECT_EQ(FilesInDir(), 1) << "no temporary file may stay behind";
}

TEST_F(TextFileTest, OtherLineEndsReadTheSameAndAreWrittenBackWithCrLf) {
    for (const char* data : {"a\nb\n", "a\rb\r", "a\r\nb"}) {
        WriteFileBytes(path_, data);
        TStringList list;
        list.LoadFromFile(path_);
        list.SaveToFile(path_);
        EXPECT_EQ(ReadFileBytes(path_), "a\r\nb\r\n") << "from " << testing::PrintToString(std::string(data));
    }
}

TEST_F(TextFileTest, UnwritableTargetsRaiseTheCreateErrorAndKeepTheOldFile) {
    // Read-only file.
    WriteFileBytes(path_, "old\r\n");
    ::SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_READONLY);
    try {
        WriteWholeFile(path_, "new\r\n");
        FAIL() << "read-only file was overwritten";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "Datei " + path_ + " kann nicht erstellt werden");
    }
    EXPECT_EQ(ReadFileBytes(path_), "old\r\n");
    EXPECT_EQ(FilesInDir(), 1);
    ::SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);

    // A directory in the file's place.
    const std::string asDir = dir_ + "\\folder";
    ::CreateDirectoryA(asDir.c_str(), nullptr);
    EXPECT_THROW(WriteWholeFile(asDir, "x"), EFCreateError);
    EXPECT_EQ(::GetFileAttributesA(asDir.c_str()) & FILE_ATTRIBUTE_DIRECTORY, DWORD(FILE_ATTRIBUTE_DIRECTORY));
    ::RemoveDirectoryA(asDir.c_str());

    // A missing directory.
    EXPECT_THROW(WriteWholeFile(dir_ + "\\missing\\x.txt", "x"), EFCreateError);
}

TEST_F(TextFileTest, AFileLockedByAnotherHandleIsNotReplaced) {
    WriteFileBytes(path_, "old\r\n");
    FileHandle lock(::CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock);
    EXPECT_THROW(WriteWholeFile(path_, "new\r\n"), EFCreateError);
    lock.Close();
    EXPECT_EQ(ReadFileBytes(path_), "old\r\n");
    EXPECT_EQ(FilesInDir(), 1);
}

TEST_F(TextFileTest, AReaderThatLetsGoWithinMomentsDoesNotMakeTheWriteFail) {
    // Shared for everything, as a careful reader opens it: under Wine even
    // that stops the replacement while it is open.
    WriteFileBytes(path_, "old\r\n");
    FileHandle reader(::CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader);
    std::thread letGo([&reader] {
        ::Sleep(30);
        reader.Close();
    });
    EXPECT_NO_THROW(WriteWholeFile(path_, "new\r\n"));
    letGo.join();
    EXPECT_EQ(ReadFileBytes(path_), "new\r\n");
    EXPECT_EQ(FilesInDir(), 1);
}

TEST_F(TextFileTest, ReadingAMissingFileOrADirectoryRaisesTheOpenError) {
    try {
        ReadWholeFile(path_);
        FAIL() << "missing file was read";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Datei " + path_ + " kann nicht ge\xF6" "ffnet werden");
    }
    EXPECT_THROW(ReadWholeFile(dir_), EFOpenError);
    EXPECT_FALSE(FileExists(dir_));
}
