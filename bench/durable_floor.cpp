// The I/O that any installer which replaces files atomically must do, and nothing else: the
// yardstick of bench/run.sh.
//
//   durable_floor DIRECTORY FILE...
//
// For each file in the order given: read it whole, write its bytes to a temporary file beside
// it, flush that file to disk, rename it over the original. Then flush the directory once.
// The files end up with the bytes they had.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "durable_floor: %s: %s\n", what.c_str(), std::strerror(errno));
  std::exit(1);
}

void CopyDurably(const std::string& path) {
  const int in = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) Die(path);
  struct stat st;
  if (fstat(in, &st) != 0) Die(path);
  const size_t size = static_cast<size_t>(st.st_size);
  char* bytes = static_cast<char*>(std::malloc(size > 0 ? size : 1));
  if (bytes == nullptr) Die("out of memory");
  for (size_t done = 0; done < size;) {
    const ssize_t got = read(in, bytes + done, size - done);
    if (got <= 0) Die(path);
    done += static_cast<size_t>(got);
  }
  close(in);

  const std::string temp = path + ".~floor.tmp";
  const int out = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (out < 0) Die(temp);
  for (size_t done = 0; done < size;) {
    const ssize_t put = write(out, bytes + done, size - done);
    if (put <= 0) Die(temp);
    done += static_cast<size_t>(put);
  }
  if (fsync(out) != 0) Die(temp);
  close(out);
  if (rename(temp.c_str(), path.c_str()) != 0) Die(path);
  std::free(bytes);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: durable_floor DIRECTORY FILE...\n");
    return 2;
  }
  const std::string directory = argv[1];
  for (int i = 2; i < argc; ++i) CopyDurably(directory + "/" + argv[i]);
  const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0 || fsync(fd) != 0) Die(directory);
  close(fd);
  return 0;
}
