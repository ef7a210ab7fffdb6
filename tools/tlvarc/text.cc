#include "text.h"

namespace tlvarc {

std::u16string U16(std::string_view text) {
  std::u16string out;
  if (!FromUtf8(text, &out)) out.assign(text.begin(), text.end());
  return out;
}

}  // namespace tlvarc
