#include <gtest/gtest.h>

#include <thread>

#include "framework/Application.h"
#include "framework/Exceptions.h"
#include "framework/FileWriter.h"
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

namespace {

// Runs the thread's messages until `done` holds or five seconds passed.
template <typename Condition>
bool PumpUntil(Condition done) {
    const DWORD until = ::GetTickCount() + 5000;
    while (!done() && ::GetTickCount() < until) {
        Application->ProcessMessages();
        ::Sleep(5);
    }
    return done();
}

}  // namespace

TEST_F(TextFileTest, TheWriterReturnsAtOnceAndWritesOnlyTheNewestContent) {
    WriteFileBytes(path_, "old\r\n");
    TFileWriter writer;
    writer.SetMinimumGap(600000);  // a rest that nothing waits for
    // A reader holds the file: the replacement has to wait for it, the
    // hand-over does not.
    FileHandle reader(::CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader);
    writer.Write(path_, "first\r\n");
    EXPECT_EQ(ReadFileBytes(path_), "old\r\n");
    reader.Close();
    writer.Wait();
    EXPECT_EQ(ReadFileBytes(path_), "first\r\n");

    // After a write the writer rests; what comes meanwhile waits, and only
    // the newest of it is written. Wait does not wait for the rest.
    writer.Write(path_, "second\r\n");
    writer.Write(path_, "third\r\n");
    EXPECT_EQ(ReadFileBytes(path_), "first\r\n");
    writer.Wait();
    EXPECT_EQ(ReadFileBytes(path_), "third\r\n");
    EXPECT_EQ(FilesInDir(), 1) << "no temporary file may stay behind";

    // Content still waiting when the writer goes is written.
    writer.Write(path_, "last\r\n");
}

TEST_F(TextFileTest, TheWriterWritesWhatWaitsWhenItGoesAndTellsAFailureOnItsOwnersThread) {
    {
        TFileWriter writer;
        writer.SetMinimumGap(600000);  // a rest that nothing waits for
        writer.Write(path_, "a\r\n");
        writer.Wait();
        writer.Write(path_, "b\r\n");
    }
    EXPECT_EQ(ReadFileBytes(path_), "b\r\n");

    ::SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_READONLY);
    TFileWriter writer;
    std::vector<std::string> told;
    DWORD toldOn = 0;
    writer.OnFailure = [&](const std::string& message) {
        told.push_back(message);
        toldOn = ::GetCurrentThreadId();
    };
    writer.Write(path_, "c\r\n");
    writer.Wait();
    EXPECT_TRUE(PumpUntil([&] { return !told.empty(); }));
    ::SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(told, std::vector<std::string>{"Datei " + path_ + " kann nicht erstellt werden"});
    EXPECT_EQ(toldOn, ::GetCurrentThreadId());
    EXPECT_EQ(ReadFileBytes(path_), "b\r\n");
}
