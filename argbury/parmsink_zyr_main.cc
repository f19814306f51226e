// parmsink.ZYR: buries argument strings in a second-generation ROM image.
#include "parmsink_cli.h"

namespace {

// The second generation: a fixed 256-byte area at 0xE00, no marker.
constexpr argbury::Generation kZyr = {
    .banner = "ZYR-SDK Development Tool - parmsink.ZYR - Bury argument strings",
    .build_number = 20080919,
    .usage_line = "Usage: parmsink.ZYR [OPTION]... <ZYR srl filename> [argument]...",
    .purpose_line = "Bury argument strings to ZYR srl file.",
    .list_magic = "#ZLF",
    .foreign_list_magic = "#DLF",
    .foreign_list_error = "cannot access to dlf file.\n",
    .not_for_rom_error = "ROM is not for ZYR.\n",
    .illegal_list_error = "illegal zlf file.\n",
    .list_directory_lead = "zlf current directory is ",
    // H,"<binary>": the first quoted text, wherever the T, line stands.
    .list_rules = {.source_tag = "H,", .source_quote_pair = 0, .source_needs_directory = false},
    .area_by_marker = false,
    .fixed_area_offset = 0xE00,
    .fixed_area_size = 256,
};

}  // namespace

int main(int argc, char** argv) { return argbury::BurierMain<kZyr>(argc, argv); }
