#pragma once
// Runs the tool-cli program as a script would and times the whole process, start-up included.
// The binary is the one built beside the benchmarks, or $TOOL_CLI.
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace bench {

inline std::string ToolCliPath() {
  const char* path = std::getenv("TOOL_CLI");
  return path != nullptr ? path : TOOL_CLI_PATH;
}

struct CliRun {
  double ms = 0;
  int exit = -1;
};

// Output goes to /dev/null: only the time and the exit status count.
inline CliRun RunToolCli(const std::vector<std::string>& words) {
  const std::string program = ToolCliPath();
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  CliRun run;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    run.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  run.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
               .count();
  posix_spawn_file_actions_destroy(&actions);
  return run;
}

}  // namespace bench
