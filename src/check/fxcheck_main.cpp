// fxcheck [--config FILE] PackageName [HostDirectory]: shows what fxinstall would do, changing
// nothing.
#include <exception>
#include <iostream>
#include <string>

#include "app/install.h"
#include "check/check.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  fx::CheckArguments arguments;
  if (!fx::ParseCheckArguments(argc, argv, arguments)) {
    std::cerr << fx::kCheckUsage << '\n';
    return fx::kCheckFailed;
  }
  try {
    std::string directory;
    if (arguments.hostDirectory) {
      directory = *arguments.hostDirectory;
    } else {
      std::string reason;
      if (!fx::FindAppDirectory(fx::platform::ExecutablePath, directory, reason)) {
        std::cerr << "fxcheck: cannot find the program's own directory: " << reason << '\n';
        return fx::kCheckFailed;
      }
    }
    return fx::CheckPackage(directory, arguments.packageName, arguments.configFile, std::cout);
  } catch (const std::exception& error) {
    std::cerr << "fxcheck: stopped by an unexpected error: " << error.what() << '\n';
    return fx::kCheckFailed;
  }
}
