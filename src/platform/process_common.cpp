#include "platform/process.h"

namespace fx::platform {

std::size_t FindLastSeparator(std::string_view path, char separator,
                              bool (*isLeadByte)(unsigned char)) {
  std::size_t last = std::string_view::npos;
  for (std::size_t i = 0; i < path.size();) {
    if (path[i] == separator) last = i;
    const bool doubleByte = isLeadByte != nullptr &&
                            isLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size();
    i += doubleByte ? 2 : 1;
  }
  return last;
}

}  // namespace fx::platform
