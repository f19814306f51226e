// parmsink: buries argument strings in a first-generation ROM image.
#include "parmsink_cli.h"

namespace {

// The first generation: the area follows a marker and declares its size.
constexpr argbury::Generation kDravo = {
    .banner = "DRAVO-SDK Development Tool - parmsink - Bury argument strings",
    .build_number = 20080919,
    .usage_line = "Usage: parmsink [OPTION]... <DRAVO srl filename> [argument]...",
    .purpose_line = "Bury argument strings to DRAVO srl file.",
    .list_magic = "#DLF",
    .foreign_list_magic = "#ZLF",
    .foreign_list_error = "cannot access to zlf file.\n",
    .not_for_rom_error = "ROM is not for DRAVO.\n",
    .illegal_list_error = "illegal dlf file.\n",
    .list_directory_lead = "dlf current directory is ",
    // 9,"...","<binary>": the second quoted text, after a T, line.
    .list_rules = {.source_tag = "9,", .source_quote_pair = 1, .source_needs_directory = true},
    .area_by_marker = true,
    .fixed_area_offset = 0,
    .fixed_area_size = 0,
};

}  // namespace

int main(int argc, char** argv) { return argbury::BurierMain<kDravo>(argc, argv); }
