#pragma once
// For tests that run the built tool-cli binary: its path comes from the environment variable
// TOOL_CLI (set by the test's CMake registration), its words are passed without a shell.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace pages::testing {

struct ToolRun {
  int exit = -1;    // exit status, -1 when it did not run or ended by a signal
  std::string out;  // standard output
  std::string err;  // standard error
};

inline std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
  return text;
}

// Starts the program `tool` with `words` and the file actions; posix_spawn's result.
inline int SpawnToolCli(const char* tool, const std::vector<std::string>& words,
                        const posix_spawn_file_actions_t& actions, pid_t* pid) {
  std::vector<std::string> args{tool};
  args.insert(args.end(), words.begin(), words.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return ::posix_spawn(pid, tool, &actions, nullptr, argv.data(), environ);
}

// Runs tool-cli with `words`; the output streams are small, so they are read one after the other.
inline ToolRun RunToolCli(const std::vector<std::string>& words) {
  ToolRun run;
  const char* tool = std::getenv("TOOL_CLI");
  if (tool == nullptr) {
    run.err = "TOOL_CLI is not set";
    return run;
  }
  int out[2];
  int err[2];
  if (::pipe(out) != 0) return run;
  if (::pipe(err) != 0) {
    ::close(out[0]);
    ::close(out[1]);
    return run;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, err[0]);
  pid_t pid = 0;
  const int spawned = SpawnToolCli(tool, words, actions, &pid);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  ::close(err[1]);
  if (spawned == 0) {
    run.out = ReadAll(out[0]);
    run.err = ReadAll(err[0]);
    int status = 0;
    if (::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.exit = WEXITSTATUS(status);
  } else {
    run.err = "tool-cli could not be started";
  }
  ::close(out[0]);
  ::close(err[0]);
  return run;
}

}  // namespace pages::testing
