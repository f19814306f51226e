// The language through the in-memory entry point: tokens, line counting,
// rule order and where a syntax error leaves the output.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "resource_parser.h"

namespace {

using namespace std::string_literals;
using resparser::FileStatus;
using resparser::ParseStatus;
using resparser::TranslationState;

// BINARY files held in memory; any other name cannot be opened.
class FakeFiles : public resparser::FileReader {
 public:
  FileStatus Copy(const std::string& name, support::CTextWriter* out) override {
    auto it = files.find(name);
    if (it == files.end()) return FileStatus::kCannotOpen;
    out->Append(it->second);
    return FileStatus::kOk;
  }
  std::map<std::string, std::string> files;
};

const char kInclude[] = "#include <dravo.h>\n";
const char kEnd[] = "   ENV_RESOURCE_END\n};\n\n";

std::string Header(const std::string& name) { return "static ENVResource " + name + "[] = {\n"; }
std::string Array(const std::string& names) { return "ENVResource* resourceArray[]=\n{\n  " + names + " NULL\n};\n"; }

struct Outcome {
  ParseStatus status;
  std::string out;  // without the include line
  long long line;
  std::string near;  // "" when no word was read
};

Outcome Translate(const std::string& description, FakeFiles* files = nullptr, size_t chunk = 8192) {
  FakeFiles none;
  TranslationState state;
  std::string out, file;
  Outcome o;
  o.status = resparser::TranslateText(description, chunk, files ? files : &none, &state, &out, &file);
  EXPECT_EQ(out.substr(0, sizeof kInclude - 1), kInclude);
  o.out = out.substr(sizeof kInclude - 1);
  o.line = state.scan.line;
  o.near = state.scan.has_last_text ? state.scan.last_text : "";
  return o;
}

struct ErrorCase {
  const char* name;
  std::string input;
  std::string out;  // written before the error
  long long line;
  std::string near;
};

TEST(ResourceParser, SyntaxErrorsLeaveTheTextWrittenBeforeThem) {
  const ErrorCase cases[] = {
      {"value missing at the end", "<A>[G] k S8", Header("A"), 1, "S8"},
      {"quoted string value", "<A>[G] k STRING \"x\"", Header("A"), 1, "STRING"},
      {"entry before any resource", "k S8 1", "", 1, "k"},
      {"group before any resource", "[G]", "", 1, ""},
      {"word after a resource header", "<R> word", Header("R") + kEnd, 1, "word"},
      {"keyword as a value", "<A>[G] key S32 S32", Header("A"), 1, "S32"},
      {"keyword as a key", "<A>[G] S8 S8 1", Header("A") + kEnd, 1, "S8"},
      {"keyword-like type", "<A>[G] BOOLEAN S32x 1", Header("A"), 1, "S32x"},
      {"stray close after entries", "<A>[G] k U8 1 ]", Header("A") + "   \"G.k\",\tENV_U8(1),\n" + kEnd, 1, "1"},
      {"end inside a header", "<A", "", 1, "A"},
      {"end inside a group header", "<A>[G", Header("A"), 1, "G"},
      {"unclosed file name", "<A>[G] k BINARY \"f", Header("A"), 1, "f"},
      {"quote after a scalar type", "<A>[G] k U8 \"f\"", Header("A"), 1, "U8"},
      {"line runs", "<A>\n\n\n[G]\n\nk S8", Header("A"), 3, "S8"},
      {"CR LF and blank-only lines", "<A>\r\n[G]\r\n \r\n\t\r\n\r\n\r\nk S8\r\n", Header("A"), 6, "S8"},
      {"NUL ends the text, not the word", "<A>[G] k S8\0 1"s, Header("A"), 1, "S8"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome o = Translate(c.input);
    EXPECT_EQ(o.status, ParseStatus::kSyntaxError);
    EXPECT_EQ(o.out, c.out);
    EXPECT_EQ(o.line, c.line);
    EXPECT_EQ(o.near, c.near);
  }
}

// A resource name names a C array: one that would not compile stops the
// parse at its header, before the header is written.
TEST(ResourceParser, RefusesNamesThatWouldNotCompile) {
  const struct {
    std::string input;
    ParseStatus status;
    std::string out;
    long long line;
    std::string near;
  } cases[] = {
      {"<a.b-c>", ParseStatus::kNotIdentifier, "", 1, "a.b-c"},
      {"<A>\n<9lives>", ParseStatus::kNotIdentifier, Header("A") + kEnd, 2, "9lives"},
      {"<\xc3\xa9t\xc3\xa9>", ParseStatus::kNotIdentifier, "", 1, "\xc3\xa9t\xc3\xa9"},
      {"<int>", ParseStatus::kKeyword, "", 1, "int"},
      {"<_Bool>", ParseStatus::kKeyword, "", 1, "_Bool"},
      {"<resourceArray>", ParseStatus::kReservedName, "", 1, "resourceArray"},
      {"<NULL>", ParseStatus::kReservedName, "", 1, "NULL"},
      {"<A>[G] k S8 1\n<B>\n<A>", ParseStatus::kDuplicateName,
       Header("A") + "   \"G.k\",\tENV_S8(1),\n" + kEnd + Header("B") + kEnd, 3, "A"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    Outcome o = Translate(c.input);
    EXPECT_EQ(o.status, c.status);
    EXPECT_EQ(o.out, c.out);
    EXPECT_EQ(o.line, c.line);
    EXPECT_EQ(o.near, c.near);
  }
}

struct GoodCase {
  const char* name;
  std::string input;
  std::string out;  // between the include line and the array block
  std::string names;
};

TEST(ResourceParser, WritesEachRuleAsItCompletes) {
  const GoodCase cases[] = {
      {"empty", "", "", ""},
      {"blanks and line breaks only", " \t\f\r\n\n \n", "", ""},
      {"resource alone", "<A>", Header("A") + kEnd, " A,"},
      {"resource with an empty group", "<A>[G]", Header("A") + kEnd, " A,"},
      {"two resources", "<A><B>", Header("A") + kEnd + Header("B") + kEnd, " A, B,"},
      {"scalar types", "<A>[G]k S32 -1 f BOOL TRUE key U32 0x10",
       Header("A") + "   \"G.k\",\tENV_S32(-1),\n   \"G.f\",\tENV_BOOL(TRUE),\n   \"G.key\",\tENV_U32(0x10),\n" + kEnd,
       " A,"},
      {"quoted kinds", "<A>[G] s STRING abc b BINARY xyz",
       Header("A") + "   \"G.s\",\tENV_STRING(\"abc\"),\n   \"G.b\",\tENV_BINARY(\"xyz\"),\n" + kEnd, " A,"},
      {"keyword-like words", "<BOOLEAN>[STRINGS]S32x BOOL s32 Bool U64 S3",
       Header("BOOLEAN") + "   \"STRINGS.S32x\",\tENV_BOOL(s32),\n   \"STRINGS.Bool\",\tENV_U64(S3),\n" + kEnd,
       " BOOLEAN,"},
      {"punctuation and odd bytes inside words", "<ab>[{#/}]a=b; U8 \x0b\x80\xff,",
       Header("ab") + "   \"{#/}.a=b;\",\tENV_U8(\x0b\x80\xff,),\n" + kEnd, " ab,"},
      {"NUL inside words", "<A\0B>[G\0]k\0\0 S8 1\0z"s,
       Header("A") + "   \"G.k\",\tENV_S8(1),\n" + kEnd, " A,"},
      {"group name kept across resources", "<A>[G] <B> [H] k S8 1 [I]",
       Header("A") + kEnd + Header("B") + "   \"H.k\",\tENV_S8(1),\n" + kEnd, " A, B,"},
  };
  for (const GoodCase& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome o = Translate(c.input);
    EXPECT_EQ(o.status, ParseStatus::kOk);
    EXPECT_EQ(o.out, c.out + Array(c.names));
  }
}

TEST(ResourceParser, CopiesBinaryFilesUnchanged) {
  FakeFiles files;
  files.files["blob.txt"] = "a\"b\\c\n\r\x01";
  files.files["empty"] = "";
  Outcome o = Translate("<R>[B]data BINARY \"blob.txt\" e BINARY\n\"\nempty\n\"", &files);
  EXPECT_EQ(o.status, ParseStatus::kOk);
  EXPECT_EQ(o.out, Header("R") + "   \"B.data\",\tENV_BINARY(\"a\"b\\c\n\r\x01\"),\n" +
                       "   \"B.e\",\tENV_BINARY(\"\"),\n" + kEnd + Array(" R,"));

  // A missing file stops the parse before the token after it is read.
  TranslationState state;
  std::string out, file;
  EXPECT_EQ(resparser::TranslateText("<R>[B] x S8 1 data BINARY \"missing\" ]", 8192, &files, &state, &out, &file),
            ParseStatus::kFileOpenError);
  EXPECT_EQ(file, "missing");
  EXPECT_EQ(out, kInclude + Header("R") + "   \"B.x\",\tENV_S8(1),\n   \"B.data\",\tENV_BINARY(\"");
}

// A source that fails after handing out its text.
class FailingSource : public resparser::ByteSource {
 public:
  explicit FailingSource(std::string text) : text_(std::move(text)) {}
  long Read(char* buffer, size_t size) override {
    if (done_) return -1;
    done_ = true;
    size_t n = std::min(size, text_.size());
    text_.copy(buffer, n);
    return static_cast<long>(n);
  }

 private:
  std::string text_;
  bool done_ = false;
};

TEST(ResourceParser, ReadErrorStopsBeforeTheWordItCuts) {
  FakeFiles files;
  TranslationState state;
  std::string file;
  std::string text;
  support::CTextWriter out([&text](const char* data, size_t size) {
    text.append(data, size);
    return true;
  });
  FailingSource failing("<A>[G] k S8 1 partial");
  EXPECT_EQ(resparser::ParseDescription(&failing, &out, &files, &state, &file), ParseStatus::kReadError);
  EXPECT_TRUE(out.Flush());
  EXPECT_EQ(text, Header("A") + "   \"G.k\",\tENV_S8(1),\n");
  EXPECT_EQ(state.scan.last_text, "1");
}

}  // namespace
