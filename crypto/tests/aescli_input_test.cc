// aescli's input gathering and trace text, below the command line.
#include "aescli_input.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ccm_trace_text.h"
#include "testing/run_program.h"

namespace {

using aescli::InputStatus;

TEST(AescliInput, ReadsFilesAndNamesEachFailure) {
  testing_support::TempDir dir;
  dir.Write("data", std::string("abc"));
  dir.Write("folder/x", std::string("x"));
  const bool fifos = testing_support::Lacks(testing_support::Need::kDeviceFiles) == nullptr;
  ASSERT_EQ(testing_support::MakeFifo(dir.File("fifo")), fifos);
  std::vector<uint8_t> bytes;
  aescli::InputFailure failure;
  EXPECT_EQ(aescli::ReadInputFile(dir.File("data").c_str(), &bytes, &failure), InputStatus::kOk);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{'a', 'b', 'c'}));
  EXPECT_EQ(aescli::ReadInputFile(dir.File("missing").c_str(), &bytes, &failure), InputStatus::kCannotOpen);
  EXPECT_EQ(aescli::ReadInputFile(dir.File("folder").c_str(), &bytes, &failure), InputStatus::kShortRead);
  if (fifos) {
    EXPECT_EQ(aescli::ReadInputFile(dir.File("fifo").c_str(), &bytes, &failure), InputStatus::kCannotSeek);
  }

  uint8_t start[2] = {};
  EXPECT_EQ(aescli::ReadFileStart(dir.File("data").c_str(), 2, start), InputStatus::kOk);
  EXPECT_EQ(start[1], 'b');
  uint8_t longer[4] = {};
  EXPECT_EQ(aescli::ReadFileStart(dir.File("data").c_str(), 4, longer), InputStatus::kShortRead);

  // The text file, opened to stream, fails as a whole read would.
  support::File file;
  EXPECT_EQ(aescli::OpenInputFile(dir.File("data").c_str(), &file), InputStatus::kOk);
  EXPECT_EQ(file.size(), 3u);
  EXPECT_EQ(aescli::OpenInputFile(dir.File("missing").c_str(), &file), InputStatus::kCannotOpen);
  EXPECT_EQ(aescli::OpenInputFile(dir.File("folder").c_str(), &file), InputStatus::kShortRead);
  if (fifos) {
    EXPECT_EQ(aescli::OpenInputFile(dir.File("fifo").c_str(), &file), InputStatus::kCannotSeek);
  }
}

TEST(AescliInput, ReadsCountsAndSetsTheRestAside) {
  // Standard input as a file of exactly a piece (1 MiB), and around it,
  // must not lose or add a byte where a piece ends.
  testing_support::TempDir dir;
  for (size_t size : {size_t{0}, size_t{5}, size_t{1} << 20, (size_t{1} << 20) + 3}) {
    std::string text(size, 'q');
    if (size > 4) text[size - 1] = 'z';
    dir.Write("in", text);
    support::File in;
    ASSERT_EQ(in.Open(dir.File("in"), support::File::Mode::kReadAny), support::File::OpenStatus::kOk);
    std::vector<uint8_t> head;
    aescli::InputFailure failure;
    const size_t count = size < 3 ? size : 3;
    EXPECT_EQ(aescli::ReadCount(&in, count, &head, &failure), InputStatus::kOk);
    EXPECT_EQ(head.size(), count);
    // The rest, set aside: every byte counted, at most `keep` kept.
    const uint64_t keep = size / 2;
    FILE* scratch = nullptr;
    uint64_t rest = 0;
    ASSERT_EQ(aescli::SetAside(&in, keep, &scratch, &rest), InputStatus::kOk);
    EXPECT_EQ(rest, size - count) << size;
    std::string kept(size + 1, '\0');
    kept.resize(fread(kept.data(), 1, kept.size(), scratch));
    fclose(scratch);
    EXPECT_EQ(kept, text.substr(count, keep)) << size;
  }
  dir.Write("in", "ab");
  support::File in;
  ASSERT_EQ(in.Open(dir.File("in"), support::File::Mode::kReadAny), support::File::OpenStatus::kOk);
  std::vector<uint8_t> bytes;
  aescli::InputFailure failure;
  EXPECT_EQ(aescli::ReadCount(&in, 3, &bytes, &failure), InputStatus::kShortRead);
  EXPECT_TRUE(aescli::SkipToEnd(&in));
}

TEST(AescliInput, HexDigitsOfEitherCaseAndOthersAsZero) {
  uint8_t out[4];
  aescli::DecodeHexLenient("aB0fzZ-9", 4, out);
  EXPECT_EQ(out[0], 0xAB);
  EXPECT_EQ(out[1], 0x0F);
  EXPECT_EQ(out[2], 0x00);
  EXPECT_EQ(out[3], 0x09);
}

TEST(CcmTraceText, LabelsDumpsAndLineBreaks) {
  std::string text;
  {
    aescli::CcmTraceText trace([&](std::string_view piece) { text.append(piece); });
    const std::vector<uint8_t> bytes(33, 0xA5);
    trace.Trace(aes::CcmTracePoint::kKey, bytes.data(), 16);
    trace.Trace(aes::CcmTracePoint::kAdata, nullptr, 0);
    trace.Trace(aes::CcmTracePoint::kTagLength, nullptr, 8);
    // The formatted input comes in pieces; the line breaks count across them.
    trace.Trace(aes::CcmTracePoint::kFormattedBegin, nullptr, 0);
    trace.Trace(aes::CcmTracePoint::kFormattedBytes, bytes.data(), 10);
    trace.Trace(aes::CcmTracePoint::kFormattedBytes, bytes.data(), 7);
    trace.Trace(aes::CcmTracePoint::kFormattedEnd, nullptr, 0);
    trace.Trace(aes::CcmTracePoint::kComputedTag, bytes.data(), 4);
  }
  std::string sixteen;
  for (int i = 0; i < 16; ++i) sixteen += "A5 ";
  EXPECT_EQ(text, "key     " + sixteen + "\n" +
                      "adata   \n"
                      "tag_len 8\n"
                      "formatted " + sixteen + "\nA5 \n" +
                      "cmp_tag A5 A5 A5 A5 \n");
}

}  // namespace
