// The grammar of the resource description language and the C text its rules
// write: resource tables of ENVResource entries and the resourceArray block.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_set>
#include <vector>

#include "resource_scanner.h"
#include "support/c_text.h"

namespace resparser {

/// How copying the file of a BINARY entry ended.
enum class FileStatus { kOk, kCannotOpen, kReadError };

/// Copies the file of a BINARY entry, named as written in the description,
/// byte for byte to the output.
class FileReader {
 public:
  virtual ~FileReader() = default;
  virtual FileStatus Copy(const std::string& name, support::CTextWriter* out) = 0;
};

/// Everything that lives for the whole run and carries over from one
/// description to the next.
struct TranslationState {
  ScanState scan;
  /// The word of the most recent group header.
  std::string group;
  /// The resource names in the order of their headers.
  std::vector<std::string> resources;
  /// The same names, to find a second table of one name at once.
  std::unordered_set<std::string> resource_names;
};

enum class ParseStatus {
  kOk,
  kSyntaxError,    // scan.line and scan.last_text tell where
  kFileOpenError,  // the file of a BINARY entry (`*file`) could not be opened
  kFileReadError,  // ... or not read whole
  kReadError,      // the description could not be read
  kNoMemory,
  // A resource name that would not compile as the name of its table
  // (scan.line and scan.last_text tell where and which):
  kNotIdentifier,  // not a C identifier
  kKeyword,        // a C keyword
  kReservedName,   // a name the generated file itself uses
  kDuplicateName,  // the name of an earlier table of the run
};

/// Parses one description from `source` to its end, writing each rule's
/// text to `out` as the rule completes: a failure leaves the text written up
/// to that point. `*file` names the file of a failed BINARY entry.
ParseStatus ParseDescription(ByteSource* source, support::CTextWriter* out, FileReader* files,
                             TranslationState* state, std::string* file);

/// The first line of a generated file.
void WriteIncludeLine(support::CTextWriter* out);

/// The resourceArray block that lists every resource of the run.
void WriteArrayBlock(const TranslationState& state, support::CTextWriter* out);

/// A whole generated file for one description held in memory, read in
/// pieces of `chunk` bytes: the include line, the tables and (after a
/// successful parse) the array block.
ParseStatus TranslateText(const std::string& description, size_t chunk, FileReader* files, TranslationState* state,
                          std::string* out, std::string* file);

}  // namespace resparser
