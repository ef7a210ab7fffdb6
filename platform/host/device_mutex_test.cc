// The device-wide mutex between programs: it excludes another program, and
// a program that dies holding it does not leave the device locked.
#include "device_mutex.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace cedev {
namespace {

namespace fs = std::filesystem;

class DeviceMutexTest : public ::testing::Test {
 protected:
  DeviceMutexTest() {
    char pattern[] = "/tmp/device-mutex-XXXXXX";
    dir_ = ::mkdtemp(pattern);
  }
  ~DeviceMutexTest() override { fs::remove_all(dir_); }

  std::string LockFile() const { return (dir_ / "share.lock").string(); }
  fs::path Marker() const { return dir_ / "released"; }

  // Another program that takes the mutex, says so on `ready`, and then
  // either lets it go after a while (leaving a marker just before) or dies
  // holding it.
  pid_t Holder(int ready, bool dies_holding) {
    pid_t pid = ::fork();
    if (pid != 0) return pid;
    auto mutex = DeviceMutex::Open(LockFile());
    if (!mutex || !mutex->Lock()) ::_exit(2);
    char c = 'L';
    if (::write(ready, &c, 1) != 1) ::_exit(3);
    if (dies_holding) ::_exit(0);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    if (!std::ofstream(Marker())) ::_exit(4);
    mutex->Unlock();
    ::_exit(0);
  }

  fs::path dir_;
};

TEST_F(DeviceMutexTest, AnotherProgramHoldingItKeepsUsWaitingUntilItLetsGo) {
  auto mutex = DeviceMutex::Open(LockFile());
  ASSERT_TRUE(mutex);
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  pid_t holder = Holder(pipe_fds[1], false);
  char c = 0;
  ASSERT_EQ(::read(pipe_fds[0], &c, 1), 1);
  ASSERT_TRUE(mutex->Lock());
  EXPECT_TRUE(fs::exists(Marker()));  // we got it only after the holder let go
  mutex->Unlock();
  int status = 0;
  ASSERT_EQ(::waitpid(holder, &status, 0), holder);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ::close(pipe_fds[0]);
  ::close(pipe_fds[1]);
}

TEST_F(DeviceMutexTest, AProgramThatDiesHoldingItPassesItOn) {
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  pid_t holder = Holder(pipe_fds[1], true);
  char c = 0;
  ASSERT_EQ(::read(pipe_fds[0], &c, 1), 1);
  int status = 0;
  ASSERT_EQ(::waitpid(holder, &status, 0), holder);
  auto mutex = DeviceMutex::Open(LockFile());
  ASSERT_TRUE(mutex);
  ASSERT_TRUE(mutex->Lock());
  mutex->Unlock();
  // And it stays usable, by this program and by the next.
  ASSERT_TRUE(mutex->Lock());
  mutex->Unlock();
  auto again = DeviceMutex::Open(LockFile());
  ASSERT_TRUE(again);
  ASSERT_TRUE(again->Lock());
  again->Unlock();
  ::close(pipe_fds[0]);
  ::close(pipe_fds[1]);
}

TEST_F(DeviceMutexTest, AFileThatCannotBeMadeGivesNoMutex) {
  EXPECT_FALSE(DeviceMutex::Open((dir_ / "missing" / "share.lock").string()));
}

}  // namespace
}  // namespace cedev
