// Literal reference converters for the tests: a linear scan of the palette
// and one formatted print per value, exactly as the outputs are defined.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ppm_reference {

/// A linear first-seen palette: the index of `color`, appending it when new;
/// -1 when new and `capacity` entries are taken.
int Lookup(std::vector<uint16_t>* palette, int capacity, uint16_t color);

/// Values printed one by one with `format` in lines of `per_line`.
std::string ValueLines(const std::vector<unsigned>& values, int per_line, const char* format);

/// The whole standard output of huecast for `rgb` (width x height pixels).
std::string Huecast(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);

/// The standard output of huemap, and in `*overflow` whether it stopped at a
/// 257th colour.
std::string Huemap(const std::string& path, const std::string& label, int width, int height,
                   const std::vector<uint8_t>& rgb, bool* overflow);

/// The output file of huetile (binary when `label` is empty); empty when the
/// colours overflow `capacity`.
std::string Huetile(const std::string& label, int capacity, int parts, int width, int height,
                    const std::vector<uint8_t>& rgb);

}  // namespace ppm_reference
