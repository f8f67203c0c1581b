// The machine's own file calls as a busy system treats them: writes that a signal cuts short
// or interrupts, a copy the kernel cannot make between two files, a save at the top folder.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <iostream>
#include <string>
#include <thread>

#include "FileSystem.h"
#include "TestSupport.h"

namespace duskmend::test {
namespace {

std::atomic<int> interruptions{0};

// Interrupts this thread's calls every 100 microseconds without restarting them: they end
// early or fail with EINTR.
class InterruptTimer {
 public:
  InterruptTimer() {
    struct sigaction action {};
    action.sa_handler = [](int) { ++interruptions; };
    sigaction(SIGALRM, &action, &old_);
    const itimerval every{{0, 100}, {0, 100}};
    setitimer(ITIMER_REAL, &every, nullptr);
  }
  ~InterruptTimer() {
    const itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &old_, nullptr);
  }

 private:
  struct sigaction old_ {};
};

// A pipe whose reader takes little at a time and pauses now and then, so that writes into it
// wait for room.
class SlowPipe {
 public:
  SlowPipe() {
    if (pipe(ends_) != 0) ADD_FAILURE() << "no pipe";
    reader_ = std::thread([this] {
      sigset_t alarm;
      sigemptyset(&alarm);
      sigaddset(&alarm, SIGALRM);
      pthread_sigmask(SIG_BLOCK, &alarm, nullptr);  // the writer's calls take the signals
      char bytes[4096];
      for (ssize_t n; (n = read(ends_[0], bytes, sizeof bytes)) != 0;) {
        if (n > 0) got_.append(bytes, static_cast<std::size_t>(n));
        if (++reads_ % 16 == 0) std::this_thread::sleep_for(std::chrono::microseconds(500));
      }
    });
  }
  FileHandle WriteEnd() const { return ends_[1]; }
  // Everything that reached the reader, once the writing end is closed.
  std::string Received() {
    close(ends_[1]);
    reader_.join();
    close(ends_[0]);
    return got_;
  }

 private:
  int ends_[2] = {-1, -1};
  std::thread reader_;
  std::string got_;
  int reads_ = 0;
};

std::string Pattern(std::size_t size) {
  std::string text(size, ' ');
  for (std::size_t i = 0; i < size; ++i)
    text[i] = static_cast<char>('a' + (i * 7 + i / 4093) % 26);
  return text;
}

TEST(SystemFileSystemTest, InterruptedWritesAndCopiesDeliverEveryByteOnce) {
  const std::string text = Pattern(8 << 20);
  TempDir dir;
  const std::string path = dir.Path("sphereworld.scp");
  WriteFile(path, text);
  FileSystem& fs = SystemFileSystem();
  FileHandle from = -1;
  ASSERT_FALSE(fs.Open(path, OpenMode::kRead, from));
  interruptions = 0;
  InterruptTimer timer;
  {
    SlowPipe pipe;
    EXPECT_FALSE(fs.Write(pipe.WriteEnd(), text.data(), text.size()));
    EXPECT_TRUE(pipe.Received() == text) << "the write";
  }
  {
    SlowPipe pipe;  // the kernel copies into no pipe: the copy reads and writes
    EXPECT_FALSE(fs.Copy(from, 3, text.size() - 3, pipe.WriteEnd()));
    EXPECT_TRUE(pipe.Received() == text.substr(3)) << "the copy by hand";
  }
  const std::string copyPath = dir.Path("copy");
  FileHandle to = -1;
  ASSERT_FALSE(fs.Open(copyPath, OpenMode::kCreateNew, to));
  for (int round = 0; round < 8; ++round)
    EXPECT_FALSE(fs.Copy(from, 0, text.size(), to));
  fs.Close(to);
  fs.Close(from);
  EXPECT_EQ(ReadFile(copyPath).size(), 8 * text.size());
  EXPECT_TRUE(ReadFile(copyPath).substr(7 * text.size()) == text) << "the kernel's copy";
  std::cout << interruptions << " interruptions\n";
  EXPECT_GT(interruptions, 0);
}

TEST(SystemFileSystemTest, ASaveInTheTopFolderSyncsThatFolder) {
  EXPECT_FALSE(SystemFileSystem().SyncFolderOf("/sphereworld.scp"));
  EXPECT_FALSE(SystemFileSystem().SyncFolderOf("sphereworld.scp"));
}

}  // namespace
}  // namespace duskmend::test
