#include "resource_parser.h"

#include <new>

namespace resparser {

namespace {

// A hand-written LALR(1) automaton of the grammar
//   description: empty | description resource
//   resource:    resource_header groups resource_end
//   resource_end: empty
//   resource_header: "<" word ">"
//   groups:      empty | groups group
//   group:       group_header entries
//   group_header: "[" word "]"
//   entries:     empty | entries entry
//   entry:       word scalar-type word | word STRING word | word BINARY word
//              | word BINARY '"' word '"'
// Its states are the places in the code below. A state whose only action is
// a reduction reduces without reading a token, and a state that reads one
// takes its default reduction on any token it cannot shift. So a resource's
// end lines are written as soon as the token after its last group is read,
// before that token is found to be wrong, and a BINARY file is copied before
// the next token is read. A read error ends the parse where it happens,
// with no reduction after it.
class Parser {
 public:
  Parser(ByteSource* source, support::CTextWriter* out, FileReader* files, TranslationState* state,
         std::string* file)
      : scanner_(source, &state->scan), out_(out), files_(files), state_(state), file_(file) {}

  ParseStatus Run();

 private:
  void Put(const std::string& s) { out_->Append(s); }
  void Put(const char* s) { out_->Append(s); }
  // The failure at token `t`, which cannot continue the description.
  static ParseStatus Fail(Token t) { return t == Token::kReadError ? ParseStatus::kReadError : ParseStatus::kSyntaxError; }
  void WriteKey(const std::string& key, const std::string& keyword);
  ParseStatus CopyFile(const std::string& name);
  ParseStatus CheckName(const std::string& name) const;

  Scanner scanner_;
  support::CTextWriter* out_;
  FileReader* files_;
  TranslationState* state_;
  std::string* file_;
};

void Parser::WriteKey(const std::string& key, const std::string& keyword) {
  Put("   \"" + state_->group + "." + key + "\",\t" + "ENV_" + keyword);
}

ParseStatus Parser::CopyFile(const std::string& name) {
  FileStatus status = files_->Copy(name, out_);
  if (status == FileStatus::kOk) return ParseStatus::kOk;
  *file_ = name;
  return status == FileStatus::kCannotOpen ? ParseStatus::kFileOpenError : ParseStatus::kFileReadError;
}

// The name becomes that of a C array at file scope, beside every other
// table of the run and the names the generated file uses itself.
ParseStatus Parser::CheckName(const std::string& name) const {
  switch (support::CheckCName(name)) {
    case support::CNameStatus::kValid:
      break;
    case support::CNameStatus::kNotIdentifier:
      return ParseStatus::kNotIdentifier;
    case support::CNameStatus::kKeyword:
      return ParseStatus::kKeyword;
  }
  if (name == "resourceArray" || name == "ENVResource" || name == "NULL") return ParseStatus::kReservedName;
  if (state_->resource_names.count(name) != 0) return ParseStatus::kDuplicateName;
  return ParseStatus::kOk;
}

ParseStatus Parser::Run() {
  Token t = scanner_.Next();
  for (;;) {
    if (t == Token::kReadError) return ParseStatus::kReadError;
    // description: description . resource, or the end.
    if (t == Token::kEnd) return ParseStatus::kOk;
    if (t != Token::kResourceOpen) return Fail(t);
    if ((t = scanner_.Next()) != Token::kWord) return Fail(t);
    std::string name = scanner_.text();
    if ((t = scanner_.Next()) != Token::kResourceClose) return Fail(t);
    const ParseStatus named = CheckName(name);
    if (named != ParseStatus::kOk) return named;
    Put("static ENVResource " + name + "[] = {\n");
    state_->resources.push_back(name);
    state_->resource_names.insert(name);

    // resource: resource_header groups . resource_end
    t = scanner_.Next();
    if (t == Token::kReadError) return ParseStatus::kReadError;
    while (t == Token::kGroupOpen) {
      if ((t = scanner_.Next()) != Token::kWord) return Fail(t);
      std::string group = scanner_.text();
      if ((t = scanner_.Next()) != Token::kGroupClose) return Fail(t);
      state_->group = group;

      // group: group_header entries .
      t = scanner_.Next();
      if (t == Token::kReadError) return ParseStatus::kReadError;
      while (t == Token::kWord) {
        std::string key = scanner_.text();
        t = scanner_.Next();
        if (t != Token::kScalarType && t != Token::kString && t != Token::kBinary) return Fail(t);
        const Token type = t;
        std::string keyword = scanner_.text();
        t = scanner_.Next();
        if (t == Token::kWord) {
          WriteKey(key, keyword);
          Put((type == Token::kScalarType ? "(" : "(\"") + scanner_.text() + (type == Token::kScalarType ? "),\n" : "\"),\n"));
        } else if (t == Token::kQuote && type == Token::kBinary) {
          if ((t = scanner_.Next()) != Token::kWord) return Fail(t);
          std::string name_of_file = scanner_.text();
          if ((t = scanner_.Next()) != Token::kQuote) return Fail(t);
          WriteKey(key, keyword);
          Put("(\"");
          ParseStatus copied = CopyFile(name_of_file);
          if (copied != ParseStatus::kOk) return copied;
          Put("\"),\n");
        } else {
          return Fail(t);
        }
        t = scanner_.Next();
        if (t == Token::kReadError) return ParseStatus::kReadError;
      }
    }
    // resource_end: empty, taken on whatever token came.
    Put("   ENV_RESOURCE_END\n");
    Put("};\n\n");
  }
}

}  // namespace

ParseStatus ParseDescription(ByteSource* source, support::CTextWriter* out, FileReader* files,
                             TranslationState* state, std::string* file) {
  try {
    Parser parser(source, out, files, state, file);
    return parser.Run();
  } catch (const std::bad_alloc&) {
    // A token or a BINARY file too large for memory.
    return ParseStatus::kNoMemory;
  }
}

void WriteIncludeLine(support::CTextWriter* out) { out->Append("#include <dravo.h>\n"); }

void WriteArrayBlock(const TranslationState& state, support::CTextWriter* out) {
  out->Append("ENVResource* resourceArray[]=\n{\n  ");
  for (const std::string& name : state.resources) {
    out->Append(" ");
    out->Append(name);
    out->Append(",");
  }
  out->Append(" NULL\n};\n");
}

ParseStatus TranslateText(const std::string& description, size_t chunk, FileReader* files, TranslationState* state,
                          std::string* out, std::string* file) {
  out->clear();
  support::CTextWriter writer([out](const char* data, size_t size) {
    out->append(data, size);
    return true;
  });
  MemorySource source(description, chunk);
  WriteIncludeLine(&writer);
  ParseStatus status = ParseDescription(&source, &writer, files, state, file);
  if (status == ParseStatus::kOk) WriteArrayBlock(*state, &writer);
  writer.Flush();
  return status;
}

}  // namespace resparser
