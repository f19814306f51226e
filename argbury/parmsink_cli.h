// The command line that both argument buriers share. A generation is a table
// of what sets it apart; each program's main holds its own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "list_file.h"
#include "support/tool_main.h"

namespace argbury {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;  // usage or version shown
constexpr int kExitError = 2;

/// What sets a generation's argument burier apart.
struct Generation {
  /// The version text's first line: kit, tool name and purpose.
  const char* banner;
  unsigned long build_number;
  /// The first two lines of the usage text, without their line ends.
  const char* usage_line;
  const char* purpose_line;
  /// First bytes of the list files it reads, and of those it refuses.
  const char* list_magic;
  const char* foreign_list_magic;
  /// Messages (with their line ends) and the directory line's lead text.
  const char* foreign_list_error;
  const char* not_for_rom_error;
  const char* illegal_list_error;
  const char* list_directory_lead;
  ListRules list_rules;
  /// True: the area follows the marker and declares its size. False: the
  /// area is fixed, and a copy replaces only the packed bytes.
  bool area_by_marker;
  uint64_t fixed_area_offset;
  size_t fixed_area_size;
};

/// The command line's settings.
struct Options {
  bool help = false;
  bool quiet = false;
  bool verbose = false;
  bool debug = false;
  bool in_place = true;
  const char* output = nullptr;       // -o, --stdout ("-")
  const char* replacement = nullptr;  // -f
  char** operands = nullptr;          // the image (or list), then the arguments
  int operand_count = 0;
};

/// Scans the options; -1 to go on, else the exit status.
int ParseArgs(const Generation& generation, int argc, char** argv, Options* options);

/// Buries the arguments; the exit status.
int Run(const Generation& generation, const Options& options);

/// Says what failed writing standard output at exit.
inline constexpr char kStdoutFailure[] = "Error: parmsink: cannot write standard output.\n";

/// The whole program for one generation's table: a main is this one call.
template <const Generation& generation>
int BurierMain(int argc, char** argv) {
  return support::ToolMain<Options>(
      argc, argv, [](int count, char** args, Options* o) { return ParseArgs(generation, count, args, o); },
      [](const Options& o) { return Run(generation, o); }, kStdoutFailure);
}

}  // namespace argbury
