// A fixture that runs the real fxinstall binary, copied into a temporary app directory.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace fx {

struct Outcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class InstallerProcess : public ::testing::Test {
 protected:
  InstallerProcess() { InstallIn(dir.Path()); }

  // Puts the installer into directory, which becomes the app directory of the next runs.
  void InstallIn(const std::filesystem::path& directory) {
    std::filesystem::copy_file(FXINSTALL_PATH, directory / "fxinstall",
                               std::filesystem::copy_options::overwrite_existing);
    program = (directory / "fxinstall").string();
  }

  // Puts fxremove beside the installer; returns its path, for program.
  std::string AddRemover() {
    const std::filesystem::path directory = std::filesystem::path(program).parent_path();
    std::filesystem::copy_file(FXREMOVE_PATH, directory / "fxremove",
                               std::filesystem::copy_options::overwrite_existing);
    return (directory / "fxremove").string();
  }

  // Runs the installer with args; fileSizeLimit > 0 limits the size of any file it writes.
  Outcome Run(const std::vector<std::string>& args, rlim_t fileSizeLimit = 0) {
    return Wait(Start(args, fileSizeLimit));
  }

  // Starts the installer and returns its process id. Runs at the same time need each their
  // own stream: name a different one each.
  pid_t Start(const std::vector<std::string>& args, rlim_t fileSizeLimit = 0,
              const std::string& stream = "") {
    const std::string outPath = io.PathOf("out" + stream);
    const std::string errPath = io.PathOf("err" + stream);
    const pid_t child = fork();
    if (child == 0) {
      if (!freopen(outPath.c_str(), "w", stdout) || !freopen(errPath.c_str(), "w", stderr))
        _exit(99);
      if (fileSizeLimit > 0) {
        signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit = {fileSizeLimit, fileSizeLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
      }
      std::vector<char*> argv;
      for (const std::string& word : launcher) argv.push_back(const_cast<char*>(word.c_str()));
      argv.push_back(const_cast<char*>(program.c_str()));
      for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(98);
    }
    return child;
  }

  Outcome Wait(pid_t child, const std::string& stream = "") {
    int status = 0;
    waitpid(child, &status, 0);
    Outcome outcome;
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.out = io.Read("out" + stream).value_or("");
    outcome.err = io.Read("err" + stream).value_or("");
    return outcome;
  }

  test::TempDir dir;    // the app directory
  test::TempDir io;     // the installer's standard output and error
  std::string program;  // the copy that runs: the installer, or fxremove
  // A program that runs the installer, with its arguments before the installer's path (e.g.
  // one that changes the user); empty: the installer runs itself.
  std::vector<std::string> launcher;
};

}  // namespace fx
