// Feeds arbitrary bytes to the resource description scanner and parser, in
// memory, read whole and in small pieces: both reads must give the same
// text, status and state, and a good description a complete file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "resource_parser.h"

namespace {

// BINARY files: names beginning "ok" hold a fixed text, others are missing.
class FakeFiles : public resparser::FileReader {
 public:
  resparser::FileStatus Copy(const std::string& name, support::CTextWriter* out) override {
    if (name.compare(0, 2, "ok") != 0) return resparser::FileStatus::kCannotOpen;
    out->Append("file\\n");
    return resparser::FileStatus::kOk;
  }
};

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 16)) return 0;
  const std::string input(reinterpret_cast<const char*>(data), size);
  FakeFiles files;
  resparser::TranslationState whole_state, cut_state;
  std::string whole, cut, whole_file, cut_file;
  const resparser::ParseStatus status =
      resparser::TranslateText(input, 8192, &files, &whole_state, &whole, &whole_file);
  const size_t chunk = size > 0 ? 1 + data[0] % 7 : 1;
  if (resparser::TranslateText(input, chunk, &files, &cut_state, &cut, &cut_file) != status || cut != whole ||
      cut_file != whole_file || cut_state.scan.line != whole_state.scan.line ||
      cut_state.scan.last_text != whole_state.scan.last_text || cut_state.resources != whole_state.resources) {
    __builtin_trap();
  }
  if (whole.compare(0, 19, "#include <dravo.h>\n") != 0) __builtin_trap();
  if (status == resparser::ParseStatus::kOk &&
      (Count(whole, "static ENVResource ") != whole_state.resources.size() ||
       Count(whole, "   ENV_RESOURCE_END\n};\n\n") != whole_state.resources.size() ||
       whole.size() < 9 || whole.compare(whole.size() - 9, 9, " NULL\n};\n") != 0)) {
    __builtin_trap();
  }
  return 0;
}
