// The command-line program killed at random moments of the remove and the change pass on a
// 16 MiB save: after every kill the save is whole, old or new, and the next run completes.
//
// DUSKMEND_CLI and DUSKMEND_GENSAVE name the programs; DUSKMEND_KILLS says how many
// kills (200 by default); DUSKMEND_KILL_SEED replays a campaign.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fcntl.h>
#include <chrono>
#include <cstdlib>

#include <filesystem>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "TestSupport.h"

extern char** environ;

namespace duskmend::test {
namespace {

using Clock = std::chrono::steady_clock;

std::string Env(const char* name, const std::string& otherwise = "") {
  const char* value = std::getenv(name);
  return value ? value : otherwise;
}

pid_t Start(const std::vector<std::string>& command) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  argv.reserve(command.size() + 1);
  for (const std::string& part : command)
    argv.push_back(const_cast<char*>(part.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return error == 0 ? pid : -1;
}

int Wait(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

TEST(KillCampaignTest, AKilledPassLeavesTheOldOrTheNewSaveAndTheNextRunCompletes) {
  const std::string runner = Env("DUSKMEND_CLI");
  const std::string generator = Env("DUSKMEND_GENSAVE");
  ASSERT_FALSE(runner.empty() || generator.empty()) << "DUSKMEND_CLI, DUSKMEND_GENSAVE";
  const int kills = std::stoi(Env("DUSKMEND_KILLS", "200"));
  const auto seed = static_cast<unsigned>(
      std::stoul(Env("DUSKMEND_KILL_SEED", std::to_string(std::random_device{}()))));
  std::cout << "kill campaign: seed " << seed << " (DUSKMEND_KILL_SEED replays it)\n";
  std::mt19937 random(seed);

  TempDir dir;
  const std::string save = dir.Path("sphereworld.scp");
  const std::string temp = save + "tmp";
  ASSERT_EQ(Wait(Start({generator, "16M", save})), 0);
  const std::string old = ReadFile(save);

  const std::vector<std::vector<std::string>> modes = {{runner, "remove", save},
                                                       {runner, "change", "5", save}};
  std::map<std::vector<std::string>, std::string> expected;
  std::map<std::vector<std::string>, double> seconds;
  for (const auto& mode : modes) {
    WriteFile(save, old);
    const auto start = Clock::now();
    ASSERT_EQ(Wait(Start(mode)), 0);
    seconds[mode] = std::chrono::duration<double>(Clock::now() - start).count();
    expected[mode] = ReadFile(save);
    ASSERT_NE(expected[mode], old);
  }

  // What each kill left: the old save, or the new one with its copy whole, partial or not begun.
  std::map<std::string, int> left;
  for (int round = 0; round < kills; ++round) {
    const auto& mode = modes[round % modes.size()];
    SCOPED_TRACE("kill " + std::to_string(round) + ", " + mode[1]);
    WriteFile(save, old);
    std::filesystem::remove(temp);
    std::uniform_real_distribution<double> moment(0, 1.1 * seconds[mode]);
    const pid_t pid = Start(mode);
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::duration<double>(moment(random)));
    kill(pid, SIGKILL);
    Wait(pid);

    const std::string after = ReadFile(save);
    ASSERT_TRUE(after == old || after == expected[mode])
        << "a save of " << after.size() << " bytes";
    const std::string copy = Exists(temp) ? ReadFile(temp) : "";
    ++left[after == old    ? "old"
           : copy == after ? "new, copied"
           : Exists(temp)  ? "new, copy partial"
                           : "new, no copy"];
    for (const std::string& name : Names(dir.Path(""))) {
      EXPECT_TRUE(dir.Path(name) == save || dir.Path(name) == temp) << name;
    }
    ASSERT_EQ(Wait(Start(mode)), 0) << "the next run";
    ASSERT_EQ(ReadFile(save), expected[mode]);
    ASSERT_EQ(ReadFile(temp), expected[mode]);
  }
  std::cout << "kill campaign: " << kills << " kills survived, no loss:";
  for (const auto& [what, count] : left)
    std::cout << " " << count << " " << what << ";";
  std::cout << "\n";
}

}  // namespace
}  // namespace duskmend::test
