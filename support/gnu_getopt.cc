#include "support/gnu_getopt.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace support {

namespace {

// An element that is no option: no leading "-", or "-" alone.
bool IsOperand(const char* arg) { return arg[0] != '-' || arg[1] == '\0'; }

// Moves the operands passed over, [first, last), behind the options that
// followed them, [last, optind), keeping the order within each.
void MoveOperandsBehind(char** argv, GetoptState* s) {
  std::rotate(argv + s->first_nonoption, argv + s->last_nonoption, argv + s->optind);
  s->first_nonoption += s->optind - s->last_nonoption;
  s->last_nonoption = s->optind;
}

const char* StartScan(const char* option_string, GetoptState* s) {
  if (s->optind == 0) s->optind = 1;
  s->first_nonoption = s->last_nonoption = s->optind;
  s->next_char = nullptr;
  if (option_string[0] == '-') {
    s->order = GetoptState::Order::kReturnInOrder;
    ++option_string;
  } else if (option_string[0] == '+') {
    s->order = GetoptState::Order::kRequireOrder;
    ++option_string;
  } else {
    s->order = std::getenv("POSIXLY_CORRECT") != nullptr ? GetoptState::Order::kRequireOrder
                                                          : GetoptState::Order::kPermute;
  }
  s->initialized = true;
  return option_string;
}

// The long option at s->next_char (after `prefix`, "--" or "-"): its code,
// '?' or ':' for an error, or -1 when getopt_long_only should read it as
// short options instead.
int LongOption(int argc, char* const* argv, const char* option_string, const option* options, int* long_index,
               bool long_only, bool print_errors, const char* prefix, GetoptState* s) {
  const char* name = s->next_char;
  const char* name_end = name;
  while (*name_end != '\0' && *name_end != '=') ++name_end;
  const size_t length = static_cast<size_t>(name_end - name);

  int count = 0;
  const option* found = nullptr;
  int found_index = -1;
  for (const option* o = options; o->name != nullptr; ++o, ++count) {
    if (found == nullptr && std::strncmp(o->name, name, length) == 0 && std::strlen(o->name) == length) {
      found = o;
      found_index = count;
    }
  }
  if (found == nullptr) {
    // An unambiguous abbreviation: every option it begins alike, unless
    // getopt_long_only, where two candidates are always ambiguous.
    std::vector<int> candidates;
    bool ambiguous = false;
    for (int i = 0; i < count; ++i) {
      const option& o = options[i];
      if (std::strncmp(o.name, name, length) != 0) continue;
      if (found == nullptr) {
        found = &o;
        found_index = i;
        candidates.push_back(i);
      } else if (long_only || found->has_arg != o.has_arg || found->flag != o.flag || found->val != o.val) {
        ambiguous = true;
        candidates.push_back(i);
      }
    }
    if (ambiguous) {
      if (print_errors) {
        std::fprintf(stderr, "%s: option '%s%s' is ambiguous; possibilities:", argv[0], prefix, name);
        for (int i : candidates) std::fprintf(stderr, " '%s%s'", prefix, options[i].name);
        std::fprintf(stderr, "\n");
      }
      s->next_char += std::strlen(s->next_char);
      ++s->optind;
      s->optopt = 0;
      return '?';
    }
  }
  if (found == nullptr) {
    if (!long_only || argv[s->optind][1] == '-' || std::strchr(option_string, *s->next_char) == nullptr) {
      if (print_errors) std::fprintf(stderr, "%s: unrecognized option '%s%s'\n", argv[0], prefix, name);
      s->next_char = nullptr;
      ++s->optind;
      s->optopt = 0;
      return '?';
    }
    return -1;
  }

  ++s->optind;
  s->next_char = nullptr;
  if (*name_end != '\0') {
    if (found->has_arg == no_argument) {
      if (print_errors) {
        std::fprintf(stderr, "%s: option '%s%s' doesn't allow an argument\n", argv[0], prefix, found->name);
      }
      s->optopt = found->val;
      return '?';
    }
    s->optarg = const_cast<char*>(name_end + 1);
  } else if (found->has_arg == required_argument) {
    if (s->optind >= argc) {
      if (print_errors) std::fprintf(stderr, "%s: option '%s%s' requires an argument\n", argv[0], prefix, found->name);
      s->optopt = found->val;
      return option_string[0] == ':' ? ':' : '?';
    }
    s->optarg = argv[s->optind++];
  }
  if (long_index != nullptr) *long_index = found_index;
  if (found->flag != nullptr) {
    *found->flag = found->val;
    return 0;
  }
  return found->val;
}

}  // namespace

int GnuGetopt(int argc, char* const* argv_in, const char* option_string, const option* long_options, int* long_index,
              bool long_only, GetoptState* s) {
  // Permuting the caller's argv is part of the contract, as with GNU's.
  char** argv = const_cast<char**>(argv_in);
  if (argc < 1) return -1;
  bool print_errors = s->opterr != 0;
  s->optarg = nullptr;
  if (s->optind == 0 || !s->initialized) {
    option_string = StartScan(option_string, s);
  } else if (option_string[0] == '-' || option_string[0] == '+') {
    ++option_string;
  }
  if (option_string[0] == ':') print_errors = false;

  if (s->next_char == nullptr || *s->next_char == '\0') {
    // The next element of argv. The caller may have moved optind back.
    s->last_nonoption = std::min(s->last_nonoption, s->optind);
    s->first_nonoption = std::min(s->first_nonoption, s->optind);
    if (s->order == GetoptState::Order::kPermute) {
      if (s->first_nonoption != s->last_nonoption && s->last_nonoption != s->optind) {
        MoveOperandsBehind(argv, s);
      } else if (s->last_nonoption != s->optind) {
        s->first_nonoption = s->optind;
      }
      while (s->optind < argc && IsOperand(argv[s->optind])) ++s->optind;
      s->last_nonoption = s->optind;
    }
    // "--" ends the options; what follows are operands.
    if (s->optind != argc && std::strcmp(argv[s->optind], "--") == 0) {
      ++s->optind;
      if (s->first_nonoption != s->last_nonoption && s->last_nonoption != s->optind) {
        MoveOperandsBehind(argv, s);
      } else if (s->first_nonoption == s->last_nonoption) {
        s->first_nonoption = s->optind;
      }
      s->last_nonoption = argc;
      s->optind = argc;
    }
    if (s->optind == argc) {
      // optind then names the first operand, wherever they were.
      if (s->first_nonoption != s->last_nonoption) s->optind = s->first_nonoption;
      return -1;
    }
    if (IsOperand(argv[s->optind])) {
      if (s->order == GetoptState::Order::kRequireOrder) return -1;
      s->optarg = argv[s->optind++];
      return 1;
    }
    if (long_options != nullptr) {
      if (argv[s->optind][1] == '-') {
        s->next_char = argv[s->optind] + 2;
        return LongOption(argc, argv, option_string, long_options, long_index, long_only, print_errors, "--", s);
      }
      if (long_only && (argv[s->optind][2] != '\0' || std::strchr(option_string, argv[s->optind][1]) == nullptr)) {
        s->next_char = argv[s->optind] + 1;
        const int code =
            LongOption(argc, argv, option_string, long_options, long_index, long_only, print_errors, "-", s);
        if (code != -1) return code;
      }
    }
    s->next_char = argv[s->optind] + 1;
  }

  // The next short option of the current element.
  const char c = *s->next_char++;
  const char* spec = std::strchr(option_string, c);
  if (*s->next_char == '\0') ++s->optind;
  if (spec == nullptr || c == ':' || c == ';') {
    if (print_errors) std::fprintf(stderr, "%s: invalid option -- '%c'\n", argv[0], c);
    s->optopt = c;
    return '?';
  }
  if (spec[1] != ':') return c;
  if (spec[2] == ':') {
    // An optional argument is only the rest of the same element.
    if (*s->next_char != '\0') {
      s->optarg = s->next_char;
      ++s->optind;
    }
  } else if (*s->next_char != '\0') {
    s->optarg = s->next_char;
    ++s->optind;
  } else if (s->optind == argc) {
    if (print_errors) std::fprintf(stderr, "%s: option requires an argument -- '%c'\n", argv[0], c);
    s->optopt = c;
    s->next_char = nullptr;
    return option_string[0] == ':' ? ':' : '?';
  } else {
    s->optarg = argv[s->optind++];
  }
  s->next_char = nullptr;
  return c;
}

}  // namespace support
