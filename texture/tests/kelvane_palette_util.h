// Test helpers: palettes built from and read back into plain colour lists.
#pragma once

#include <vector>

#include "kelvane/kelvane.h"

namespace kelvane_test {
// Each test file gets its own copy, as with file-local helpers.
namespace {

struct Entry {
  unsigned char r, g, b;
  bool operator==(const Entry&) const = default;
};

Kelvane::CColorPalette Palette(const std::vector<Entry>& entries) {
  Kelvane::CColorPalette palette;
  palette.Create(static_cast<unsigned int>(entries.size()), 0, 0, 0);
  for (unsigned int i = 0; i < entries.size(); ++i)
    palette.SetValue(entries[i].r, entries[i].g, entries[i].b, i);
  return palette;
}

std::vector<Entry> Entries(const Kelvane::CColorPalette& palette) {
  std::vector<Entry> out(palette.GetNumber());
  for (unsigned int i = 0; i < out.size(); ++i) palette.GetValue(&out[i].r, &out[i].g, &out[i].b, i);
  return out;
}

}  // namespace
}  // namespace kelvane_test
