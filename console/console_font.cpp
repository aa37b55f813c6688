#include "console_font.hpp"

#include <algorithm>

Blocks blocksOfFont(const std::vector<char32_t>& mapped) {
  const auto has = [&](char32_t c) { return std::find(mapped.begin(), mapped.end(), c) != mapped.end(); };
  if (!has(U'\u2588')) return Blocks::None;
  return has(U'\u2580') && has(U'\u2584') ? Blocks::Half : Blocks::FullOnly;
}
