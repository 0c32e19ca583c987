// fxcheck PackageName [HostDirectory]: shows what fxinstall would do, changing nothing.
#include <exception>
#include <iostream>
#include <string>

#include "app/install.h"
#include "check/check.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  if (argc < 2 || argv[1][0] == '\0') {
    std::cerr << "usage: fxcheck PackageName [HostDirectory]\n";
    return fx::kCheckFailed;
  }
  try {
    std::string directory;
    if (argc > 2) {
      directory = argv[2];
    } else {
      std::string reason;
      if (!fx::FindAppDirectory(fx::platform::ExecutablePath, directory, reason)) {
        std::cerr << "fxcheck: cannot find the program's own directory: " << reason << '\n';
        return fx::kCheckFailed;
      }
    }
    return fx::CheckPackage(directory, argv[1], std::cout);
  } catch (const std::exception& error) {
    std::cerr << "fxcheck: stopped by an unexpected error: " << error.what() << '\n';
    return fx::kCheckFailed;
  }
}
