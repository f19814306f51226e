// End-to-end tests of aescli: arguments, standard input, exact standard
// output and error text, exit status and written files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "aes_modes.h"
#include "hex_text.h"
#include "testing/golden.h"
#include "testing/output_rows.h"
#include "testing/run_program.h"

namespace {

using testing_support::RunResult;
using testing_support::TempDir;

using crypto_test::BytesToHex;
using crypto_test::HexToBytes;

std::string FromHex(const std::string& hex) { return HexToBytes(hex); }
std::string ToHex(const std::string& bytes) { return BytesToHex(bytes); }

std::string ReverseEachBlock(std::string s) {
  aes::ReverseBlocks(reinterpret_cast<uint8_t*>(s.data()), s.size());
  return s;
}

std::string Reversed(std::string s) {
  std::reverse(s.begin(), s.end());
  return s;
}

// NIST SP 800-38A, F.2 and F.5.
const std::string kKey = "2b7e151628aed2a6abf7158809cf4f3c";
const std::string kIv = "000102030405060708090a0b0c0d0e0f";
const std::string kCounter = "f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff";
const std::string kPlain = FromHex(
    "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
    "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710");
const std::string kCbcCipher =
    "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
    "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7";
const std::string kCtrCipher =
    "874d6191b620e3261bef6864990db6ce9806f66b7970fdff8617187bb9fffdff"
    "5ae4df3edbd5d35e5b4f09020db03eab1e031dda2fbe03d1792170a0f3009cee";

// NIST SP 800-38C, Example 3.
const std::string kCcmKey = "404142434445464748494a4b4c4d4e4f";
const std::string kCcmNonce = "101112131415161718191a1b";
const std::string kCcmAdata = FromHex("000102030405060708090a0b0c0d0e0f10111213");
const std::string kCcmPlain = FromHex("202122232425262728292a2b2c2d2e2f3031323334353637");
const std::string kCcmCipher = "e3b201a9f5b71a7a9b1ceaeccd97e70b6176aad9a4428aa5";
const std::string kCcmTag = "484392fbc1b09951";

class AescliCli : public ::testing::Test {
 protected:
  RunResult Run(const std::vector<std::string>& args, const std::string& stdin_data = "") {
    return aescli_.Run(dir_, args, stdin_data);
  }
  void ExpectFailure(const RunResult& r, const std::string& err) {
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, err);
    EXPECT_FALSE(dir_.Exists("out"));
  }
  std::vector<std::string> CcmArgs(const std::string& mode) {
    dir_.Write("adata", kCcmAdata);
    return {"-m", mode, "-k", "hex:" + kCcmKey, "-n", "hex:" + kCcmNonce, "-a", "adata", "-t", "8"};
  }

  // aescli's standard output carries data: binary on every system.
  const testing_support::Cli aescli_ = [] {
    testing_support::Cli cli(AESCLI_PATH);
    cli.options().binary_stdout = true;
    return cli;
  }();
  TempDir dir_;
};

TEST_F(AescliCli, CtrFromFileToStdout) {
  dir_.Write("plain", kPlain);
  RunResult r = Run({"-m", "ctr", "-k", "hex:" + kKey, "-c", "hex:" + kCounter, "-p", "plain"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ToHex(r.out), kCtrCipher);
}

TEST_F(AescliCli, CtrFromStdinToFileAndBack) {
  RunResult r = Run({"-m", "ctr", "-k", "hex:" + kKey, "-c", "hex:" + kCounter, "-o", "out"}, kPlain);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ToHex(dir_.Read("out")), kCtrCipher);
  // Decryption is the same operation; upper-case digits and key files work.
  dir_.Write("key", FromHex(kKey) + "trailing bytes are ignored");
  std::string upper = kCounter;
  std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
  r = Run({"-m", "ctr", "-k", "key", "-c", "hex:" + upper, "-p", "out"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kPlain);
}

TEST_F(AescliCli, CtrKeepsAPartialFinalBlock) {
  dir_.Write("plain", kPlain.substr(0, 20));
  RunResult r = Run({"-m", "ctr", "-k", "hex:" + kKey, "-c", "hex:" + kCounter, "-p", "plain"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(ToHex(r.out), kCtrCipher.substr(0, 40));
  r = Run({"-m", "ctr", "-k", "hex:" + kKey, "-c", "hex:" + kCounter}, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
}

TEST_F(AescliCli, CbcEncryptAndDecrypt) {
  dir_.Write("plain", kPlain);
  for (const char* mode : {"cbc", "cbc_encrypt"}) {
    RunResult r = Run({"-m", mode, "-k", "hex:" + kKey, "-i", "hex:" + kIv, "-p", "plain"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ToHex(r.out), kCbcCipher) << mode;
  }
  RunResult r = Run({"-m", "cbc_decrypt", "-k", "hex:" + kKey, "-i", "hex:" + kIv}, FromHex(kCbcCipher));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kPlain);
}

TEST_F(AescliCli, CbcRefusesPartialBlocksAndKeepsAnExistingOutput) {
  dir_.Write("plain", kPlain.substr(0, 20));
  dir_.Write("old", "previous contents");
  RunResult r = Run({"-m", "cbc", "-k", "hex:" + kKey, "-i", "hex:" + kIv, "-p", "plain", "-o", "old"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "input text length must be multiple of 16\n");
  EXPECT_EQ(dir_.Read("old"), "previous contents");
  dir_.Write("plain", kPlain.substr(0, 32));
  r = Run({"-m", "cbc", "-k", "hex:" + kKey, "-i", "hex:" + kIv, "-p", "plain", "-o", "old"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(ToHex(dir_.Read("old")), kCbcCipher.substr(0, 64));
}

TEST_F(AescliCli, ReversedCbcReversesKeyIvAndEachBlock) {
  dir_.Write("plain", ReverseEachBlock(kPlain));
  RunResult r = Run({"-r", "-m", "cbc", "-k", "hex:" + ToHex(Reversed(FromHex(kKey))), "-i",
                     "hex:" + ToHex(Reversed(FromHex(kIv))), "-p", "plain"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, ReverseEachBlock(FromHex(kCbcCipher)));
  r = Run({"-m", "cbc_decrypt", "-k", "hex:" + ToHex(Reversed(FromHex(kKey))), "-i",
           "hex:" + ToHex(Reversed(FromHex(kIv))), "-r"},
          r.out);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, ReverseEachBlock(kPlain));
}

TEST_F(AescliCli, ReversedCtrReversesTheTailAsOneUnit) {
  const std::string plain = kPlain.substr(0, 20);
  dir_.Write("plain", ReverseEachBlock(plain));
  RunResult r = Run({"-m", "ctr", "-r", "-k", "hex:" + ToHex(Reversed(FromHex(kKey))), "-c",
                     "hex:" + ToHex(Reversed(FromHex(kCounter))), "-p", "plain"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, ReverseEachBlock(FromHex(kCtrCipher.substr(0, 40))));
}

TEST_F(AescliCli, CcmEncryptMatchesStandardExample) {
  dir_.Write("plain", kCcmPlain);
  std::vector<std::string> args = CcmArgs("ccm");
  args.insert(args.end(), {"-p", "plain", "-o", "out"});
  RunResult r = Run(args);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ToHex(dir_.Read("out")), kCcmCipher + kCcmTag);
}

TEST_F(AescliCli, CcmDecryptWithTagAtTheEndOrFromHex) {
  std::vector<std::string> args = CcmArgs("ccm_decrypt");
  RunResult r = Run(args, FromHex(kCcmCipher + kCcmTag));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, kCcmPlain);
  // With "-t hex:" the whole input is ciphertext and the tag length is the
  // byte count.
  args.back() = "hex:" + kCcmTag;
  r = Run(args, FromHex(kCcmCipher));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, kCcmPlain);
  // An empty "hex:" tag is no MAC length.
  args.back() = "hex:";
  ExpectFailure(Run(args, FromHex(kCcmCipher)), "require MAC length(-t)\n");
}

TEST_F(AescliCli, CcmTamperedInputStillWritesThePlaintext) {
  std::string input = FromHex(kCcmCipher + kCcmTag);
  input[2] ^= 0x04;
  dir_.Write("in", input);
  std::vector<std::string> args = CcmArgs("ccm_decrypt");
  args.insert(args.end(), {"-p", "in", "-o", "out"});
  RunResult r = Run(args);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "ccm decrypt verification failed\n");
  std::string expected = kCcmPlain;
  expected[2] ^= 0x04;
  EXPECT_EQ(dir_.Read("out"), expected);
}

TEST_F(AescliCli, CcmAdataFromStdinWithoutInputFile) {
  std::vector<std::string> args = CcmArgs("ccm");
  args[7] = "stdin:20";
  RunResult r = Run(args, kCcmAdata + kCcmPlain);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ToHex(r.out), kCcmCipher + kCcmTag);
  // Fewer bytes than the count.
  args[7] = "stdin:30";
  ExpectFailure(Run(args, kCcmAdata), "cant read from stdin\n");
}

TEST_F(AescliCli, CcmAdataOfFourBytesFromStdin) {
  std::vector<std::string> args = CcmArgs("ccm");
  args[7] = "stdin:4";
  RunResult r = Run(args, "ADATpayload");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  std::string expected(7 + 8, '\0');
  aes::CcmEncrypt(reinterpret_cast<const uint8_t*>(FromHex(kCcmKey).data()),
                  reinterpret_cast<const uint8_t*>(FromHex(kCcmNonce).data()),
                  reinterpret_cast<const uint8_t*>("ADAT"), 4, reinterpret_cast<const uint8_t*>("payload"), 7,
                  8, reinterpret_cast<uint8_t*>(expected.data()), false, nullptr);
  EXPECT_EQ(r.out, expected);
  args[7] = "stdin:-4";
  ExpectFailure(Run(args, "ADATpayload"), "invalid stdin count: -4\n");
}

TEST_F(AescliCli, CcmRefusesPayloadsBeyondTheLengthField) {
  dir_.Write("big", std::string(size_t{1} << 24, 'b'));
  std::vector<std::string> args = CcmArgs("ccm");
  args.insert(args.end(), {"-p", "big", "-o", "out"});
  ExpectFailure(Run(args), "input text too long for ccm: 16777216 bytes (at most 16777215)\n");
  // With -r the payload counts padded to whole blocks.
  dir_.Write("big", std::string((size_t{1} << 24) - 1, 'b'));
  args.push_back("-r");
  ExpectFailure(Run(args), "input text too long for ccm: 16777215 bytes (at most 16777215)\n");
}

TEST_F(AescliCli, CcmEmptyInputGivesTheTagOnly) {
  std::vector<std::string> args = CcmArgs("ccm");
  RunResult r = Run(args, "");
  EXPECT_EQ(r.status, 0);
  ASSERT_EQ(r.out.size(), 8u);
  std::string expected(8, '\0');
  aes::CcmEncrypt(reinterpret_cast<const uint8_t*>(FromHex(kCcmKey).data()),
                  reinterpret_cast<const uint8_t*>(FromHex(kCcmNonce).data()),
                  reinterpret_cast<const uint8_t*>(kCcmAdata.data()), kCcmAdata.size(), nullptr, 0, 8,
                  reinterpret_cast<uint8_t*>(expected.data()), false, nullptr);
  EXPECT_EQ(r.out, expected);
  r = Run(CcmArgs("ccm_decrypt"), r.out);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
}

TEST_F(AescliCli, CcmDecryptRefusesInputShorterThanTheTag) {
  ExpectFailure(Run(CcmArgs("ccm_decrypt"), "1234567"), "input text shorter than MAC length(-t=8)\n");
}

TEST_F(AescliCli, ReversedCcmRoundTrips) {
  for (int size : {0, 1, 15, 16, 17, 20, 33}) {
    for (int t : {4, 10, 16}) {
      const std::string plain = kPlain.substr(0, static_cast<size_t>(size));
      std::vector<std::string> args = CcmArgs("ccm");
      args.back() = std::to_string(t);
      args.push_back("-r");
      RunResult enc = Run(args, plain);
      ASSERT_EQ(enc.status, 0);
      ASSERT_EQ(enc.out.size(), static_cast<size_t>(size + t));
      args[1] = "ccm_decrypt";
      RunResult dec = Run(args, enc.out);
      ASSERT_EQ(dec.status, 0) << dec.err;
      EXPECT_EQ(dec.out, plain) << size << " " << t;
      std::string tampered = enc.out;
      tampered.back() = static_cast<char>(tampered.back() ^ 1);
      dec = Run(args, tampered);
      EXPECT_EQ(dec.status, 1);
      EXPECT_EQ(dec.err, "ccm decrypt verification failed\n");
      EXPECT_EQ(dec.out, plain);
    }
  }
}

TEST_F(AescliCli, VerboseTraceOfEncryptionAndDecryption) {
  dir_.Write("plain", kCcmPlain);
  std::vector<std::string> args = CcmArgs("ccm_encrypt");
  args.insert(args.end(), {"--verbose", "-p", "plain"});
  // The inputs, then the tag computation over the whole formatted MAC input.
  RunResult r = Run(args);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(ToHex(r.out), kCcmCipher + kCcmTag);
  testing_support::ExpectGolden(TEST_DATA_DIR "/ccm_verbose_encrypt.stderr", r.err);

  args[1] = "ccm_decrypt";
  r = Run({args.begin(), args.end() - 2}, FromHex(kCcmCipher + kCcmTag));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kCcmPlain);
  // The same inputs and tag computation, then the decrypted and computed tags.
  testing_support::ExpectGolden(TEST_DATA_DIR "/ccm_verbose_decrypt.stderr", r.err);
}

TEST_F(AescliCli, VerboseEmptyDumpsAndReversedPaddedValues) {
  RunResult r = Run({"-m", "ccm", "-k", "hex:000102030405060708090a0b0c0d0e0f", "-n",
                     "hex:a0a1a2a3a4a5a6a7a8a9aaab", "-t", "4", "--verbose", "-r"},
                    "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.size(), 4u);
  const std::string prefix =
      "key     0F 0E 0D 0C 0B 0A 09 08 07 06 05 04 03 02 01 00 \n"
      "nonce   AB AA A9 A8 A7 A6 A5 A4 A3 A2 A1 A0 \n"
      "adata   \n"
      "pdata   \n"
      "tag_len 4\n"
      "formatted 0A AB AA A9 A8 A7 A6 A5 A4 A3 A2 A1 A0 00 00 00 \n"
      "tag       ";
  ASSERT_GE(r.err.size(), prefix.size());
  EXPECT_EQ(r.err.substr(0, prefix.size()), prefix);
  // A 3-byte payload enters padded to one reversed block.
  r = Run({"-m", "ccm", "-k", "hex:000102030405060708090a0b0c0d0e0f", "-n", "hex:a0a1a2a3a4a5a6a7a8a9aaab",
           "-t", "4", "--verbose", "-r"},
          "abc");
  EXPECT_NE(r.err.find("pdata   00 00 00 00 00 00 00 00 00 00 00 00 00 63 62 61 \ntag_len 4\n"
                       "formatted 0A AB AA A9 A8 A7 A6 A5 A4 A3 A2 A1 A0 00 00 10 \n"),
            std::string::npos)
      << r.err;
}

TEST_F(AescliCli, HexLengthMessagesLetTheRunGoOn) {
  RunResult r = Run({"-m", "ctr", "-k", "hex:" + kKey.substr(0, 30), "-c", "hex:" + kCounter}, kPlain);
  ExpectFailure(r, "'hex' length mismatch: require=32 received=30\nrequire key(-k)\n");
  // The nonce is 12 bytes; a later good value replaces a bad one.
  std::vector<std::string> args = CcmArgs("ccm");
  args[5] = "hex:00";
  args.insert(args.end(), {"-n", "hex:" + kCcmNonce});
  r = Run(args, kCcmPlain);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "'hex' length mismatch: require=24 received=2\n");
  EXPECT_EQ(ToHex(r.out), kCcmCipher + kCcmTag);
  // Odd -t hex length: the MAC length stays 0.
  args = CcmArgs("ccm_decrypt");
  args.back() = "hex:484";
  ExpectFailure(Run(args, ""), "'hex' length must be multiple of 2: received=3\nrequire MAC length(-t)\n");
}

TEST_F(AescliCli, OverlongHexValuesAreMismatchesToo) {
  // One byte too many is refused like one too few, for each fixed-size value.
  const std::string extra = "00";
  ExpectFailure(Run({"-m", "ctr", "-k", "hex:" + kKey + extra, "-c", "hex:" + kCounter}, kPlain),
                "'hex' length mismatch: require=32 received=34\nrequire key(-k)\n");
  ExpectFailure(Run({"-m", "ctr", "-k", "hex:" + kKey, "-c", "hex:" + kCounter + "0"}, kPlain),
                "'hex' length mismatch: require=32 received=33\nrequire counter(-c)\n");
  ExpectFailure(Run({"-m", "cbc", "-k", "hex:" + kKey, "-i", "hex:" + kIv + extra}, kPlain),
                "'hex' length mismatch: require=32 received=34\nrequire iv(-i)\n");
  std::vector<std::string> args = CcmArgs("ccm");
  args[5] = "hex:" + kCcmNonce + extra;
  ExpectFailure(Run(args, kCcmPlain), "'hex' length mismatch: require=24 received=26\nrequire nonce(-n)\n");
}

TEST_F(AescliCli, ChecksInTheirOrder) {
  ExpectFailure(Run({"-m", "ctr", "-c", "hex:" + kCounter}, "x"), "require key(-k)\n");
  ExpectFailure(Run({"-m", "ctr", "-k", "hex:" + kKey, "-i", "hex:" + kIv}, "x"), "require counter(-c)\n");
  ExpectFailure(Run({"-m", "cbc_decrypt", "-k", "hex:" + kKey, "-c", "hex:" + kIv}, "x"), "require iv(-i)\n");
  ExpectFailure(Run({"-m", "ccm", "-k", "hex:" + kKey, "-t", "5"}, "x"), "require nonce(-n)\n");
  std::vector<std::string> args = CcmArgs("ccm");
  args.back() = "0";
  ExpectFailure(Run(args, "x"), "require MAC length(-t)\n");
  args.back() = "x";
  ExpectFailure(Run(args, "x"), "require MAC length(-t)\n");
  for (const char* bad : {"5", "2", "18", "-4"}) {
    args.back() = bad;
    ExpectFailure(Run(args, "x"),
                  std::string("MAC length(-t=") + bad + ") must be one of 4, 6, 8, 10, 12, 14, 16\n");
  }
}

TEST_F(AescliCli, ModeAndOptionErrors) {
  ExpectFailure(Run({"-k", "hex:" + kKey}, "data"), "cipher mode not specified\n");
  ExpectFailure(Run({}), "cipher mode not specified\n");
  ExpectFailure(Run({"-m", "ecb", "-x", "y"}), "unkwon cipher mode: ecb\n");
  ExpectFailure(Run({"-m", "ctr", "-x", "y"}), "unknown option: -x\n");
  ExpectFailure(Run({"-m", "ctr", "plain"}), "unknown option: plain\n");
  ExpectFailure(Run({"-m", "ctr", "-k"}), "missing value for option: -k\n");
  ExpectFailure(Run({"-r", "-o"}), "missing value for option: -o\n");
  // An option given twice keeps its last value.
  RunResult r = Run({"-m", "cbc", "-m", "ctr", "-k", "hex:" + kKey, "-c", "hex:" + kCounter}, kPlain);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(ToHex(r.out), kCtrCipher);
}

TEST_F(AescliCli, FileErrorsComeInCommandLineOrder) {
  ExpectFailure(Run({"-m", "ctr", "-p", "missing", "-k", "nokey"}), "cant open file: missing\n");
  ExpectFailure(Run({"-k", "nokey", "-p", "missing"}), "cant open file: nokey\n");
  dir_.Write("short", "only 12 byte");
  ExpectFailure(Run({"-k", "short"}), "cant read from file: short\n");
  dir_.Write("nonce", "only 12 byte");
  RunResult r = Run({"-n", "nonce", "-m", "ccm", "-k", "short"});
  ExpectFailure(r, "cant read from file: short\n");
  ExpectFailure(Run({"-p", "."}), "cant read from file: .\n");
  ExpectFailure(Run({"-a", "hex:00"}), "cant open file: hex:00\n");
  // A pipe has no size to seek to.
  if (testing_support::Lacks(testing_support::Need::kDeviceFiles)) return;
  testing_support::HeldFifo fifo(dir_.File("fifo"));
  ASSERT_TRUE(fifo.ok());
  r = Run({"-m", "ctr", "-a", "fifo"});
  ExpectFailure(r, "cant seek file: fifo\n");
}

TEST_F(AescliCli, UnwritableOutputIsReported) {
  dir_.Write("plain", kPlain);
  RunResult r =
      Run({"-m", "ctr", "-k", "hex:" + kKey, "-c", "hex:" + kCounter, "-p", "plain", "-o", "nodir/out"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "cant open file: nodir/out\n");
  EXPECT_EQ(dir_.List(), std::vector<std::string>{"plain"});
  if (const char* why = testing_support::Lacks(testing_support::Need::kDeviceFiles)) GTEST_SKIP() << why;
  r = Run({"-m", "ctr", "-k", "hex:" + kKey, "-c", "hex:" + kCounter, "-p", "plain", "-o", "/dev/full"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "cant write to file: /dev/full\n");
  // A device is written through, not replaced.
  r = Run({"-m", "ctr", "-k", "hex:" + kKey, "-c", "hex:" + kCounter, "-p", "plain", "-o", "/dev/null"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
}

TEST_F(AescliCli, WritesThroughLinksAndPipes) {
  namespace fs = std::filesystem;
  if (const char* why = testing_support::Lacks(testing_support::Need::kSymlinks)) GTEST_SKIP() << why;
  dir_.Write("plain", kPlain);
  dir_.Write("real/keep", "x");
  const std::vector<std::string> ctr = {"-m", "ctr", "-k", "hex:" + kKey, "-c", "hex:" + kCounter, "-p", "plain"};
  // A link to a file not yet there: the file is created, the link stays.
  fs::create_symlink("real/out", dir_.File("link"));
  std::vector<std::string> args = ctr;
  args.insert(args.end(), {"-o", "link"});
  RunResult r = Run(args);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir_.File("link"))));
  EXPECT_EQ(ToHex(dir_.Read("real/out")), kCtrCipher);
  // The file the link names is an input of no run that writes it.
  args[7] = "link";
  r = Run(args);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "output file link is same as input file link\n");
  EXPECT_EQ(ToHex(dir_.Read("real/out")), kCtrCipher);
  // Written again through the link, an existing file keeps its permission bits.
  fs::permissions(dir_.File("real/out"), fs::perms::owner_read | fs::perms::owner_write);
  dir_.Write("cipher", FromHex(kCtrCipher));
  args[7] = "cipher";
  r = Run(args);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir_.File("link"))));
  EXPECT_EQ(dir_.Read("real/out"), kPlain);
  EXPECT_EQ(fs::status(dir_.File("real/out")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);

  // A named pipe receives the bytes and stays a pipe.
  testing_support::HeldFifo pipe(dir_.File("pipe"));
  ASSERT_TRUE(pipe.ok());
  args = ctr;
  args.insert(args.end(), {"-o", "pipe"});
  r = Run(args);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ToHex(pipe.ReadAvailable()), kCtrCipher);
  EXPECT_TRUE(fs::is_fifo(fs::symlink_status(dir_.File("pipe"))));
}

TEST_F(AescliCli, RefusesAnOutputThatIsAnInput) {
  dir_.Write("plain", kPlain);
  dir_.Write("key", FromHex(kKey));
  dir_.Write("out", "old");
  const std::vector<std::string> ctr = {"-m", "ctr", "-k", "key", "-c", "hex:" + kCounter};
  // A key file named another way, associated data through a link.
  std::vector<std::string> args = ctr;
  args.insert(args.end(), {"-p", "plain", "-o", "./key"});
  RunResult r = Run(args);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "output file ./key is same as input file key\n");
  if (!testing_support::Lacks(testing_support::Need::kSymlinks)) {
    std::filesystem::create_symlink("out", dir_.File("out.link"));
    r = Run({"-m", "ccm", "-k", "key", "-n", "hex:" + kCcmNonce, "-t", "8", "-a", "out", "-p", "plain", "-o",
             "out.link"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "output file out.link is same as input file out\n");
  }
  // Standard input redirected from the output.
  if (const char* why = testing_support::Lacks(testing_support::Need::kShell)) GTEST_SKIP() << why;
  const testing_support::RunResult sh = testing_support::RunProgram(
      "/bin/sh", {"-c", "\"$0\" -m ctr -k key -c hex:" + kCounter + " -o out < out", AESCLI_PATH}, dir_.path());
  EXPECT_EQ(sh.status, 1);
  EXPECT_EQ(sh.err, "output file out is same as input file stdin\n");
  EXPECT_EQ(dir_.Read("out"), "old");
  EXPECT_EQ(dir_.Read("key"), FromHex(kKey));
}

TEST_F(AescliCli, ReadsNumbersAsUsersWriteThem) {
  // A hexadecimal MAC length or count is its value, never 0.
  std::vector<std::string> args = CcmArgs("ccm");
  args.back() = "0x8";
  dir_.Write("plain", kCcmPlain);
  args.insert(args.end(), {"-p", "plain"});
  RunResult r = Run(args);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(ToHex(r.out), kCcmCipher + kCcmTag);
  args = CcmArgs("ccm");
  args[7] = "stdin:0x14";
  r = Run(args, kCcmAdata + kCcmPlain);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(ToHex(r.out), kCcmCipher + kCcmTag);
  // A count that is not wholly a number is refused.
  args[7] = "stdin:20x";
  ExpectFailure(Run(args, kCcmAdata + kCcmPlain), "invalid stdin count: 20x\n");
}

TEST_F(AescliCli, StreamsLongTextsFromFilesAndStandardInput) {
  // Texts of several pieces, the same from a file and from standard input.
  std::string text(2 * (size_t{1} << 20) + 48, '\0');
  uint32_t x = 1;
  for (auto& c : text) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 16);
  dir_.Write("text", text);
  const std::string key_bytes = FromHex(kKey);
  const std::string block = FromHex(kCounter);
  const auto* k = reinterpret_cast<const uint8_t*>(key_bytes.data());
  const auto* b = reinterpret_cast<const uint8_t*>(block.data());
  for (const char* mode : {"ctr", "cbc", "cbc_decrypt", "ccm", "ccm_decrypt"}) {
    std::string expected = text + std::string(32, '\0');
    auto* data = reinterpret_cast<uint8_t*>(expected.data());
    const std::string m = mode;
    bool verified = true;
    if (m == "ctr") aes::CtrCrypt(k, b, data, text.size(), data);
    if (m == "cbc") aes::CbcEncrypt(k, b, data, text.size(), data);
    if (m == "cbc_decrypt") aes::CbcDecrypt(k, b, data, text.size(), data);
    if (m == "ccm") aes::CcmEncrypt(k, b, nullptr, 0, data, text.size(), 8, data, false, nullptr);
    if (m == "ccm_decrypt") {
      verified = aes::CcmDecrypt(k, b, nullptr, 0, data, text.size() - 8, data + text.size() - 8, 8, data, false,
                                 nullptr) == aes::CcmStatus::kOk;
    }
    expected.resize(m == "ccm" ? text.size() + 8 : m == "ccm_decrypt" ? text.size() - 8 : text.size());
    const std::vector<std::string> args = {"-m", mode, "-k", "hex:" + kKey, "-c", "hex:" + kCounter, "-i",
                                           "hex:" + kCounter, "-n", "hex:" + kCounter.substr(0, 24), "-t", "8"};
    std::vector<std::string> from_file = args;
    from_file.insert(from_file.end(), {"-p", "text", "-o", "out"});
    RunResult r = Run(from_file);
    EXPECT_EQ(r.status, verified ? 0 : 1) << mode;
    EXPECT_TRUE(dir_.Read("out") == expected) << mode;
    r = Run(args, text);
    EXPECT_EQ(r.status, verified ? 0 : 1) << mode;
    EXPECT_TRUE(r.out == expected) << mode;
  }
  // Standard input whose length turns out not to be whole blocks: the
  // output stays as it was.
  const std::string old = dir_.Read("out");
  RunResult r = Run({"-m", "cbc", "-k", "hex:" + kKey, "-i", "hex:" + kIv, "-o", "out"}, text + "x");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "input text length must be multiple of 16\n");
  EXPECT_TRUE(dir_.Read("out") == old);
}

TEST_F(AescliCli, FullStandardOutputFails) {
  dir_.Write("plain", kPlain);
  testing_support::RunOptions options;
  options.stdout_path = "/dev/full";
  const RunResult r = testing_support::RunProgram(
      AESCLI_PATH, {"-m", "ctr", "-k", "hex:" + kKey, "-c", "hex:" + kCounter, "-p", "plain"}, dir_.path(), options);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "cant write to file: stdout\n");
}

}  // namespace

namespace {

TEST(AescliOutput, OutputRows) {
  testing_support::OutputTool tool;
  tool.program = AESCLI_PATH;
  tool.inputs = {{"plain", kPlain}};
  tool.args = [](const std::string& output) {
    return std::vector<std::string>{"-m", "ctr", "-k", "hex:" + kKey, "-c", "hex:" + kCounter, "-p", "plain", "-o", output};
  };
  tool.expected = FromHex(kCtrCipher);
  tool.open_failure_err = [](const std::string& output) { return "cant open file: " + output + "\n"; };
  tool.large_inputs = {{"plain", std::string(64u << 20, 'x')}};
  testing_support::ExpectOutputRows(tool);
}

}  // namespace

namespace {

TEST(AescliOutput, FaultRows) {
  using testing_support::Fault;
  testing_support::FaultTool tool;
  tool.program = AESCLI_PATH;
  tool.inputs = {{"plain", kPlain}};
  tool.args = [](const std::string& output) {
    return std::vector<std::string>{"-m", "ctr", "-k", "hex:" + kKey, "-c", "hex:" + kCounter, "-p", "plain", "-o", output};
  };
  tool.expected = FromHex(kCtrCipher);
  tool.input = "plain";
  tool.truncated = kPlain.substr(0, 5);
  tool.truncated_expected = tool.expected.substr(0, 5);
  tool.outcome = [](Fault fault, const std::string& path) -> testing_support::Outcome {
    switch (fault) {
      case Fault::kFullDevice:
      case Fault::kDiskFull: return {1, "", "cant write to file: " + path + "\n"};
      case Fault::kInputIsFolder: return {1, "", "cant read from file: " + path + "\n"};
      case Fault::kInputIsFifo: return {1, "", "cant seek file: " + path + "\n"};
      case Fault::kInputTruncated: return {0, "", ""};
      case Fault::kStdoutFull: return {0, "", ""};  // nothing goes to standard output
      default: return {1, "", "cant open file: " + path + "\n"};
    }
  };
  tool.strict_rows = true;
  tool.same_file_outcome = [](const std::string& output, const std::string& input) -> testing_support::Outcome {
    return {1, "", "output file " + output + " is same as input file " + input + "\n"};
  };
  testing_support::ExpectFaultRows(tool);
}

}  // namespace
