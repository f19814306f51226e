// aescli's command line and messages, below the program: the options in
// their order, the warnings that let a run go on, the refusals that stop it.
#include "aescli_options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "testing/run_program.h"

namespace {

using aescli::CipherStatus;
using aescli::Options;

// A command line parsed into `o`: its status and messages. It outlives the
// parse, as a program's arguments do (the options point into them).
class Parsed {
 public:
  Parsed(const std::vector<std::string>& args, Options* o) : args_{"aescli"} {
    args_.insert(args_.end(), args.begin(), args.end());
    for (std::string& arg : args_) argv_.push_back(arg.data());
    status = aescli::ParseArguments(static_cast<int>(argv_.size()), argv_.data(), o, &messages);
  }
  int status;
  std::string messages;

 private:
  std::vector<std::string> args_;
  std::vector<char*> argv_;
};

TEST(AescliOptions, ReadsValuesInOrderAndWarnsAboutThoseNotTaken) {
  testing_support::TempDir dir;
  dir.Write("key", std::string("0123456789abcdef"));
  dir.Write("text", std::string("twenty bytes of text"));
  Options o;
  const Parsed parsed({"-m", "ccm", "-r", "-k", "hex:00", "-k", dir.File("key"), "-n", "hex:0102",
                               "-t", "0x10", "-t", "hex:abc", "-p", dir.File("text"), "--verbose", "-o", "out"},
                              &o);
  EXPECT_EQ(parsed.status, aescli::kGoOn);
  EXPECT_EQ(parsed.messages,
            "'hex' length mismatch: require=32 received=2\n"
            "'hex' length mismatch: require=24 received=4\n"
            "'hex' length must be multiple of 2: received=3\n");
  EXPECT_EQ(o.cipher.mode, aescli::CipherMode::kCcmEncrypt);
  EXPECT_TRUE(o.cipher.reversed && o.verbose);
  // The last value given counts: the key file over the short hex key, and
  // a bad nonce or tag leaves none.
  EXPECT_TRUE(o.cipher.key.present);
  EXPECT_EQ(o.cipher.key.bytes[15], 'f');
  EXPECT_FALSE(o.cipher.nonce.present);
  EXPECT_EQ(o.cipher.mac_length, 0);
  EXPECT_STREQ(o.text_path, dir.File("text").c_str());
  EXPECT_EQ(o.text_file.size(), 20u);
  EXPECT_STREQ(o.output, "out");
  EXPECT_EQ(o.input_files.size(), 2u);

  Options lengths;
  EXPECT_EQ(Parsed({"-t", "0x10"}, &lengths).status, aescli::kGoOn);
  EXPECT_EQ(lengths.cipher.mac_length, 16);
  EXPECT_EQ(Parsed({"-t", "hex:0a0b"}, &lengths).status, aescli::kGoOn);
  EXPECT_EQ(lengths.cipher.tag_bytes, (std::vector<uint8_t>{0x0a, 0x0b}));
  EXPECT_EQ(lengths.cipher.mac_length, 2);
}

TEST(AescliOptions, StopsAtTheFirstErrorWithItsMessage) {
  const struct {
    std::vector<std::string> args;
    std::string messages;
  } kCases[] = {
      {{"-x"}, "unknown option: -x\n"},
      {{"-m", "ctr", "-k"}, "missing value for option: -k\n"},
      {{"-m", "ecb", "-k", "no-such-key"}, "unkwon cipher mode: ecb\n"},
      {{"-k", "no-such-key", "-m", "ecb"}, "cant open file: no-such-key\n"},
      {{"-a", "stdin:12x"}, "invalid stdin count: 12x\n"},
      {{"-a", "stdin:-1"}, "invalid stdin count: -1\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.args[0]);
    Options o;
    const Parsed parsed(c.args, &o);
    EXPECT_EQ(parsed.status, 1);
    EXPECT_EQ(parsed.messages, c.messages);
  }
}

TEST(AescliOptions, WordsEveryFailure) {
  Options o;
  o.cipher.mac_length = 5;
  aescli::CipherResult result;
  result.status = CipherStatus::kBadMacLength;
  EXPECT_EQ(aescli::CipherFailureMessage(result, o), "MAC length(-t=5) must be one of 4, 6, 8, 10, 12, 14, 16\n");
  result.status = CipherStatus::kReadFailed;
  EXPECT_EQ(aescli::CipherFailureMessage(result, o), "cant read from stdin\n");
  result.status = CipherStatus::kWriteFailed;
  EXPECT_EQ(aescli::CipherFailureMessage(result, o), "cant write to file: stdout\n");
  o.text_path = "t.bin";
  o.output = "o.bin";
  result.status = CipherStatus::kReadFailed;
  EXPECT_EQ(aescli::CipherFailureMessage(result, o), "cant read from file: t.bin\n");
  result.status = CipherStatus::kWriteFailed;
  EXPECT_EQ(aescli::CipherFailureMessage(result, o), "cant write to file: o.bin\n");
  result.status = CipherStatus::kOk;
  EXPECT_EQ(aescli::CipherFailureMessage(result, o), "");

  EXPECT_EQ(aescli::CommitFailureMessage(support::WriteStatus::kOk, o), "");
  EXPECT_EQ(aescli::CommitFailureMessage(support::WriteStatus::kCannotOpen, o), "cant open file: o.bin\n");
  EXPECT_EQ(aescli::CommitFailureMessage(support::WriteStatus::kCloseError, o), "cant write to file: o.bin\n");
  EXPECT_EQ(aescli::StdinFailureMessage(aescli::InputStatus::kShortRead, {}), "cant read from stdin\n");
}

// The output may be no file an option named, however it is spelt or linked;
// the text file streams from its start.
TEST(AescliOptions, RefusesAnInputAsOutputAndReadsTheTextFile) {
  testing_support::TempDir dir;
  dir.Write("key", std::string("0123456789abcdef"));
  dir.Write("text", std::string("sixteen bytes!!!"));
  std::filesystem::create_hard_link(dir.File("key"), dir.File("key.link"));
  Options o;
  const Parsed parsed({"-k", dir.File("key"), "-p", dir.File("text"), "-o", dir.File("key.link")}, &o);
  ASSERT_EQ(parsed.status, aescli::kGoOn);
  EXPECT_EQ(aescli::OutputIsInputMessage(o),
            "output file " + dir.File("key.link") + " is same as input file " + dir.File("key") + "\n");
  o.output = "elsewhere.bin";
  EXPECT_EQ(aescli::OutputIsInputMessage(o), "");

  aescli::TextInput text;
  std::string message;
  ASSERT_TRUE(text.Open(o, &message));
  EXPECT_EQ(text.source().size, 16);
  uint8_t bytes[16] = {};
  EXPECT_EQ(text.source().read(bytes, sizeof bytes), 16);
  EXPECT_EQ(std::string(bytes, bytes + 7), "sixteen");
}

}  // namespace
