// The shop's folder C:\orbis: the run log's folder bkp and the export are in it, and a run holds it
// (platform::ShopLock). Every path of the program in it is made from kShopFolder.
#pragma once

#include <array>
#include <cstddef>

namespace catpub::platform {

inline constexpr char kShopFolder[] = "C:\\orbis";

// kShopFolder, "\" and `name`, as a NUL-terminated text made at compile time, so that the path of a
// file in the shop's folder can be a constant: InShopFolder("articoli.csv") holds
// "C:\orbis\articoli.csv".
template <size_t N>
constexpr std::array<char, sizeof kShopFolder + N> InShopFolder(const char (&name)[N]) {
  std::array<char, sizeof kShopFolder + N> path{};
  size_t at = 0;
  for (size_t i = 0; i + 1 < sizeof kShopFolder; ++i) path[at++] = kShopFolder[i];
  path[at++] = '\\';
  for (size_t i = 0; i < N; ++i) path[at++] = name[i];
  return path;
}

}  // namespace catpub::platform
