// aescli's command line and its words: options read left to right, the files
// they name read (the text file opened) as each is met, so that errors come
// in command-line order; the checks of the output against the inputs; and the
// message of every way a run can fail. Prints nothing: the messages are
// handed back for the main to write to standard error.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "aescli_cipher.h"
#include "aescli_input.h"
#include "support/output_file.h"
#include "support/platform.h"

namespace aescli {

/// ParseArguments' status when the run goes on.
constexpr int kGoOn = -1;

/// The settings, with the files named by options already read or opened.
struct Options {
  CipherRequest cipher;
  /// -p: the text file, open; otherwise the text is standard input.
  const char* text_path = nullptr;
  mutable support::File text_file;
  /// Every file an option named, for the check that the output is none of them.
  std::vector<const char*> input_files;
  bool verbose = false;
  const char* output = nullptr;

  /// Standard input, opened the first time an option or the text reads it.
  support::File* StandardInput() const;
  bool reads_standard_input() const { return standard_input_.is_open(); }

 private:
  mutable support::File standard_input_;
};

/// Reads the arguments (argv[1] on) into `o`, appending to `*messages` what
/// standard error gets, warnings about a value that is not taken included.
/// Returns kGoOn, or the exit status when the run must stop.
int ParseArguments(int argc, char** argv, Options* o, std::string* messages);

/// The text the cipher reads: the -p file, or standard input. CCM must know
/// the text's length before it starts, so standard input is set aside in a
/// scratch file for it, as far as CCM could take it; with settings that will
/// be refused, standard input is read to its end first and nothing is kept.
class TextInput {
 public:
  TextInput() = default;
  TextInput(const TextInput&) = delete;
  TextInput& operator=(const TextInput&) = delete;
  ~TextInput();

  /// False, with the message for standard error, when standard input fails.
  bool Open(const Options& o, std::string* message);
  const TextSource& source() const { return text_; }

 private:
  std::FILE* scratch_ = nullptr;
  TextSource text_;
};

/// The refusal of an output that is one of the run's inputs, however it is
/// named (standard input redirected from it included); empty when it is none.
std::string OutputIsInputMessage(const Options& o);

/// What a failed read of standard input says: `status` as InputStatus.
std::string StdinFailureMessage(InputStatus status, const InputFailure& failure);

/// The message of a cipher run that did not end well; empty for kOk.
std::string CipherFailureMessage(const CipherResult& result, const Options& o);

/// The message of an output that could not be put in place; empty for kOk.
std::string CommitFailureMessage(support::WriteStatus status, const Options& o);

}  // namespace aescli
