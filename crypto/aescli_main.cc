// aescli: encrypts or decrypts one buffer with AES-128 in CTR, CBC or CCM
// mode. Options come in pairs of option and value; keys, IVs, counters and
// nonces are hex text or files, the data comes from a file or standard input
// and the result goes to a file or standard output as raw bytes. The options
// and the messages are aescli_options.h's; this file wires the text, the
// cipher and the output together.
#include <cstdio>
#include <string>
#include <string_view>

#include "aescli_cipher.h"
#include "aescli_options.h"
#include "ccm_trace_text.h"
#include "support/file_io.h"
#include "support/output_file.h"
#include "support/platform.h"
#include "support/tool_main.h"

namespace {

using aescli::Options;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;

int Fail(const std::string& message) {
  std::fputs(message.c_str(), stderr);
  return kExitFailure;
}

int ParseArgs(int argc, char** argv, Options* o) {
  // Standard input and output carry raw bytes.
  support::SetBinaryMode(stdin);
  support::SetBinaryMode(stdout);
  std::string messages;
  const int status = aescli::ParseArguments(argc, argv, o, &messages);
  std::fputs(messages.c_str(), stderr);
  return status;
}

// The output file, or standard output; a file is put in place only by
// Commit(), so a failed run leaves none.
class Output : public aescli::ResultSink {
 public:
  explicit Output(const char* path) : path_(path) {}
  bool Open() override { return path_ == nullptr || file_.Open(path_) == support::WriteStatus::kOk; }
  bool Write(const uint8_t* data, size_t size) override {
    return path_ != nullptr ? file_.Write(data, size) : support::WriteStandardOutput(data, size);
  }
  support::WriteStatus Commit() { return path_ != nullptr ? file_.Commit() : support::WriteStatus::kOk; }

 private:
  const char* path_;
  support::OutputFile file_;
};

int Run(const Options& o) {
  const std::string refusal = aescli::OutputIsInputMessage(o);
  if (!refusal.empty()) return Fail(refusal);
  aescli::TextInput text;
  std::string message;
  if (!text.Open(o, &message)) return Fail(message);

  Output output(o.output);
  aescli::CcmTraceText trace_text(
      [](std::string_view piece) { std::fwrite(piece.data(), 1, piece.size(), stderr); });
  const aescli::CipherResult result =
      aescli::StreamCipher(o.cipher, text.source(), o.verbose ? &trace_text : nullptr, &output);
  // A tag that does not match still writes the plaintext, then says so.
  if (result.status == aescli::CipherStatus::kOk || result.status == aescli::CipherStatus::kTagMismatch) {
    if (!support::FlushStdout()) return Fail("cant write to file: stdout\n");
    const support::WriteStatus committed = output.Commit();
    if (committed != support::WriteStatus::kOk) return Fail(aescli::CommitFailureMessage(committed, o));
  }
  return result.status == aescli::CipherStatus::kOk ? kExitOk : Fail(aescli::CipherFailureMessage(result, o));
}

}  // namespace

int main(int argc, char** argv) {
  return support::ToolMain(argc, argv, ParseArgs, Run, "cant write to file: stdout\n");
}
