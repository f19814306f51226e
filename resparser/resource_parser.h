// The grammar of the resource description language and the C text its rules
// write: resource tables of ENVResource entries and the resourceArray block.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "resource_scanner.h"

namespace resparser {

/// Where the generated C text goes.
class TextSink {
 public:
  virtual ~TextSink() = default;
  virtual void Write(const char* data, size_t size) = 0;
};

/// Collects the generated text in memory.
class StringSink : public TextSink {
 public:
  void Write(const char* data, size_t size) override { text.append(data, size); }
  std::string text;
};

/// How copying the file of a BINARY entry ended.
enum class FileStatus { kOk, kCannotOpen, kReadError };

/// Copies the file of a BINARY entry, named as written in the description,
/// byte for byte to the output.
class FileReader {
 public:
  virtual ~FileReader() = default;
  virtual FileStatus Copy(const std::string& name, TextSink* out) = 0;
};

/// Everything that lives for the whole run and carries over from one
/// description to the next.
struct TranslationState {
  ScanState scan;
  /// The word of the most recent group header.
  std::string group;
  /// The resource names in the order of their headers.
  std::vector<std::string> resources;
};

enum class ParseStatus {
  kOk,
  kSyntaxError,    // scan.line and scan.last_text tell where
  kFileOpenError,  // the file of a BINARY entry (`*file`) could not be opened
  kFileReadError,  // ... or not read whole
  kReadError,      // the description could not be read
  kNoMemory,
};

/// Parses one description from `source` to its end, writing each rule's
/// text to `out` as the rule completes: a failure leaves the text written up
/// to that point. `*file` names the file of a failed BINARY entry.
ParseStatus ParseDescription(ByteSource* source, TextSink* out, FileReader* files, TranslationState* state,
                             std::string* file);

/// The first line of a generated file.
void WriteIncludeLine(TextSink* out);

/// The resourceArray block that lists every resource of the run.
void WriteArrayBlock(const TranslationState& state, TextSink* out);

/// A whole generated file for one description held in memory, read in
/// pieces of `chunk` bytes: the include line, the tables and (after a
/// successful parse) the array block.
ParseStatus TranslateText(const std::string& description, size_t chunk, FileReader* files, TranslationState* state,
                          std::string* out, std::string* file);

}  // namespace resparser
