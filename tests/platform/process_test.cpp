#include "platform/process.h"

#include <gtest/gtest.h>

namespace fx::platform {
namespace {

// Lead bytes of code page 936 (GBK). Its second bytes include 0x5C, the backslash.
bool IsGbkLeadByte(unsigned char byte) {
  return byte >= 0x81 && byte <= 0xFE;
}

TEST(FindLastSeparator, SkipsTheSecondByteOfADoubleByteCharacter) {
  struct Case {
    std::string path;
    size_t index;
  } cases[] = {
      {"C:\\Tools\\fx\\inst.exe", 11},
      {"inst.exe", std::string::npos},
      // "\x95\x5C" is one character whose second byte is a backslash.
      {"C:\\\x95\x5C\\inst.exe", 5},
      {"C:\\dir\\\x95\x5Cinst.exe", 6},
      // A lead byte at the very end has no second byte.
      {"C:\\a\\\x95", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(FindLastSeparator(c.path, '\\', IsGbkLeadByte), c.index);
  }
  EXPECT_EQ(FindLastSeparator("C:\\\x95\x5C", '\\', nullptr), 4u);
}

TEST(ExecutablePath, NamesTheRunningProgram) {
  std::string path;
  std::string reason;
  ASSERT_TRUE(ExecutablePath(path, reason)) << reason;
  const size_t separator = FindLastPathSeparator(path);
  ASSERT_NE(separator, std::string::npos);
  EXPECT_NE(path.find("fxinstall_tests", separator), std::string::npos) << path;
}

}  // namespace
}  // namespace fx::platform
