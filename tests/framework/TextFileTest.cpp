#include <gtest/gtest.h>

#include <atomic>
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

// A crash between the write and the rename leaves the temporary file behind,
// with the old file's flags when it had any. The next write removes it:
// whatever crashes there were, at most one such file is ever there.
TEST_F(TextFileTest, ATemporaryFileLeftByACrashIsRemovedAtTheNextWrite) {
    const std::string leftover = TemporaryPathOf(path_);
    ASSERT_EQ(leftover.rfind(dir_ + "\\", 0), 0U) << "beside the file, in its directory";
    const struct {
        const char* name;
        bool fileThere;
        DWORD leftoverFlags;
    } cases[] = {
        {"first write", false, FILE_ATTRIBUTE_NORMAL},
        {"over a file", true, FILE_ATTRIBUTE_NORMAL},
        {"flags of a hidden system file", true, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
        {"read-only", true, FILE_ATTRIBUTE_READONLY},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveFile(path_);
        if (c.fileThere) WriteFileBytes(path_, "old\r\n");
        WriteFileBytes(leftover, "half of an older write");
        ::SetFileAttributesA(leftover.c_str(), c.leftoverFlags);
        for (const char* data : {"new\r\n", "newer\r\n"}) {
            EXPECT_NO_THROW(WriteWholeFile(path_, data));
            EXPECT_EQ(ReadFileBytes(path_), data);
            EXPECT_EQ(FilesInDir(), 1) << "only the file itself";
        }
        ::SetFileAttributesA(leftover.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

// Writes of one file from two threads take turns on its one temporary file:
// none fails and none leaves anything behind.
TEST_F(TextFileTest, WritesOfOneFileFromTwoThreadsAllSucceed) {
    std::atomic<int> failures{0};
    const auto writeMany = [&](const std::string& data) {
        for (int i = 0; i < 40; ++i) try {
                WriteWholeFile(path_, data);
            } catch (const EFCreateError&) {
                ++failures;
            }
    };
    std::thread other(writeMany, "other\r\n");
    writeMany("this\r\n");
    other.join();
    EXPECT_EQ(failures, 0);
    const std::string last = ReadFileBytes(path_).value_or("(none)");
    EXPECT_TRUE(last == "this\r\n" || last == "other\r\n") << last;
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

// A failed write is told only when no later write of the file put it right:
// a later write of the writer, or one of the program itself, that succeeded
// before the failure was to be told leaves nothing to tell; newer content
// still waiting holds the failure back until its own write ends.
TEST_F(TextFileTest, TheWriterTellsOnlyAFailureThatNoLaterWritePutRight) {
    enum Later { WriterWrite, OwnWrite, WaitingWrite, WaitingWriteFailsToo, Nothing };
    const struct {
        const char* name;
        Later later;
        size_t told;
    } cases[] = {
        {"a later write of the writer succeeded", WriterWrite, 0},
        {"the program wrote the file itself", OwnWrite, 0},
        {"newer content waited and was written", WaitingWrite, 0},
        {"newer content waited and failed too", WaitingWriteFailsToo, 1},
        {"nothing came after it", Nothing, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(path_, "old\r\n");
        ::SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_READONLY);
        std::vector<std::string> told;
        TFileWriter writer;
        writer.OnFailure = [&](const std::string& message) { told.push_back(message); };
        // After the failed write the writer rests: content handed over then
        // waits, as a burst of attempts' logs does.
        writer.SetMinimumGap(c.later == WaitingWrite || c.later == WaitingWriteFailsToo ? 600000 : 0);
        writer.Write(path_, "failed\r\n");
        // Once the write failed, its message is queued; nothing ran it yet.
        writer.Wait();
        if (c.later != WaitingWriteFailsToo) ::SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
        std::string expected = "old\r\n";
        switch (c.later) {
            case WriterWrite:
                writer.Write(path_, expected = "later\r\n");
                writer.Wait();
                break;
            case OwnWrite:
                WriteWholeFile(path_, expected = "own\r\n");
                break;
            case WaitingWrite:
            case WaitingWriteFailsToo:
                writer.Write(path_, "waiting\r\n");
                // The queued failure is looked at while the content waits.
                Application->ProcessMessages();
                EXPECT_TRUE(told.empty()) << "told while newer content waited";
                if (c.later == WaitingWrite) expected = "waiting\r\n";
                writer.Wait();
                break;
            case Nothing:
                break;
        }
        // Every message of the writer is queued by now.
        Application->ProcessMessages();
        PumpUntil([&] { return told.size() >= c.told; });
        ::SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(told.size(), c.told);
        EXPECT_EQ(ReadFileBytes(path_), expected);
    }
}
