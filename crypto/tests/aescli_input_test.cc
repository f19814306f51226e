// aescli's input gathering and trace text, below the command line.
#include "aescli_input.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ccm_trace_text.h"
#include "testing/run_program.h"

namespace {

using aes::InputStatus;

TEST(AescliInput, ReadsFilesAndNamesEachFailure) {
  testing_support::TempDir dir;
  dir.Write("data", std::string("abc"));
  dir.Write("folder/x", std::string("x"));
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  std::vector<uint8_t> bytes;
  aes::InputFailure failure;
  EXPECT_EQ(aes::ReadInputFile(dir.File("data").c_str(), &bytes, &failure), InputStatus::kOk);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{'a', 'b', 'c'}));
  EXPECT_EQ(aes::ReadInputFile(dir.File("missing").c_str(), &bytes, &failure), InputStatus::kCannotOpen);
  EXPECT_EQ(aes::ReadInputFile(dir.File("folder").c_str(), &bytes, &failure), InputStatus::kShortRead);
  EXPECT_EQ(aes::ReadInputFile(dir.File("fifo").c_str(), &bytes, &failure), InputStatus::kCannotSeek);

  uint8_t start[2] = {};
  EXPECT_EQ(aes::ReadFileStart(dir.File("data").c_str(), 2, start), InputStatus::kOk);
  EXPECT_EQ(start[1], 'b');
  uint8_t longer[4] = {};
  EXPECT_EQ(aes::ReadFileStart(dir.File("data").c_str(), 4, longer), InputStatus::kShortRead);
}

// A stream holding `text`, read from its start.
FILE* StreamOf(const std::string& text) {
  FILE* stream = tmpfile();
  if (stream != nullptr) {
    fwrite(text.data(), 1, text.size(), stream);
    rewind(stream);
  }
  return stream;
}

TEST(AescliInput, ReadsCountsAndStreamsToTheirEnd) {
  // A stream of exactly the first buffer size (1 MiB) must not lose or add
  // a byte where the buffer doubles.
  for (size_t size : {size_t{0}, size_t{5}, size_t{1} << 20, (size_t{1} << 20) + 3}) {
    FILE* in = StreamOf(std::string(size, 'q'));
    ASSERT_NE(in, nullptr);
    std::vector<uint8_t> head;
    std::vector<uint8_t> rest;
    aes::InputFailure failure;
    const size_t count = size < 3 ? size : 3;
    EXPECT_EQ(aes::ReadCount(in, count, &head, &failure), InputStatus::kOk);
    EXPECT_EQ(aes::ReadToEnd(in, &rest, &failure), InputStatus::kOk);
    fclose(in);
    EXPECT_EQ(head.size(), count);
    EXPECT_EQ(rest.size(), size - count) << size;
  }
  FILE* in = StreamOf("ab");
  ASSERT_NE(in, nullptr);
  std::vector<uint8_t> bytes;
  aes::InputFailure failure;
  EXPECT_EQ(aes::ReadCount(in, 3, &bytes, &failure), InputStatus::kShortRead);
  fclose(in);
}

TEST(AescliInput, HexDigitsOfEitherCaseAndOthersAsZero) {
  uint8_t out[4];
  aes::DecodeHexLenient("aB0fzZ-9", 4, out);
  EXPECT_EQ(out[0], 0xAB);
  EXPECT_EQ(out[1], 0x0F);
  EXPECT_EQ(out[2], 0x00);
  EXPECT_EQ(out[3], 0x09);
}

TEST(CcmTraceText, LabelsDumpsAndLineBreaks) {
  std::string text;
  {
    aes::CcmTraceText trace([&](std::string_view piece) { text.append(piece); });
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
