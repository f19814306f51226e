// The loaders' line processor on arbitrary program text, cut into fetches at
// random places: the first bytes pick the settings and the cuts, the rest is
// what the program prints. Whatever the cuts, the output, the verdict and the
// program status must be those of the same text fed in one piece (when its
// lines fit the accumulator); and the per-console form with one console and
// no tags must match the plain one.
#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "console_lines.h"

namespace {

struct Outcome {
  std::string out;
  loader::LineVerdict verdict = loader::LineVerdict::kGoesOn;
  int status = loader::kNoProgramStatus;
};

// Single console: the first generation's path.
Outcome FeedPlain(const loader::LineSettings& settings, const std::string& text, const std::vector<size_t>& cuts) {
  Outcome o;
  loader::LineSink sink;
  sink.write = [&o](const char* p, size_t n) { o.out.append(p, n); };
  sink.line_prefix = [] { return std::string("{0:07}"); };
  loader::LineState state;
  size_t at = 0;
  for (size_t i = 0; i <= cuts.size() && o.verdict == loader::LineVerdict::kGoesOn; ++i) {
    const size_t end = i < cuts.size() ? cuts[i] : text.size();
    o.verdict = loader::ProcessText(settings, sink, text.data() + at, end - at, &state, &o.status);
    at = end;
  }
  // The line that ends a run stays whole; any other is bounded.
  if (o.verdict == loader::LineVerdict::kGoesOn && state.line.size() > loader::kAccumulatorBound) __builtin_trap();
  return o;
}

// Several consoles: `consoles[i]` says which console fetch i came from.
Outcome FeedConsoles(const loader::ConsoleSettings& settings, const std::string& text, const std::vector<size_t>& cuts,
                     const std::vector<int>& consoles) {
  Outcome o;
  loader::ConsoleLines lines(settings, [&o](const char* p, size_t n) { o.out.append(p, n); }, [] { return 7LL; });
  size_t at = 0;
  for (size_t i = 0; i <= cuts.size() && o.verdict == loader::LineVerdict::kGoesOn; ++i) {
    const size_t end = i < cuts.size() ? cuts[i] : text.size();
    const int console = consoles.empty() ? 0 : consoles[i % consoles.size()];
    o.verdict = lines.Feed(console % 2, console, text.data() + at, end - at);
    at = end;
  }
  o.status = lines.program_status();
  for (int c = 0; c < settings.console_count; ++c) {
    if (o.verdict == loader::LineVerdict::kGoesOn && lines.state(c).line.size() > loader::kAccumulatorBound) {
      __builtin_trap();
    }
  }
  return o;
}

bool Same(const Outcome& a, const Outcome& b) {
  return a.out == b.out && a.verdict == b.verdict && (a.verdict != loader::LineVerdict::kExitLine || a.status == b.status);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4 || size > (1u << 16)) return 0;
  const uint8_t flags = data[0];
  const size_t abort_length = data[1] % 8;
  const uint32_t seed = data[2] | (data[3] << 8) | 1u;
  data += 4;
  size -= 4;
  if (abort_length > size) return 0;
  loader::LineSettings line;
  line.quiet = flags & 1;
  line.abort_string.assign(reinterpret_cast<const char*>(data), abort_length);
  const std::string text(reinterpret_cast<const char*>(data + abort_length), size - abort_length);

  // Random cuts from a small generator seeded by the input.
  std::vector<size_t> cuts;
  uint32_t x = seed;
  for (size_t at = 0;;) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    at += x % (flags & 2 ? 600 : 9);
    if (at >= text.size()) break;
    cuts.push_back(at);
  }

  // A fragment over the bound is forgotten at the end of a fetch, so the
  // cuts may change what a longer line is tested as; only texts whose lines
  // all fit must give the same result for every split.
  size_t longest = 0;
  for (size_t at = 0; at <= text.size();) {
    const size_t end = std::min(text.find('\n', at), text.size());
    longest = std::max(longest, end - at);
    at = end + 1;
  }
  const bool fits = longest <= loader::kAccumulatorBound;
  const Outcome whole = FeedPlain(line, text, {});
  if (!Same(FeedPlain(line, text, cuts), whole) && fits) __builtin_trap();

  loader::ConsoleSettings one;
  one.line = line;
  one.lap = true;
  const Outcome per_console = FeedConsoles(one, text, cuts, {});
  if (!Same(per_console, FeedConsoles(one, text, {}, {})) && fits) __builtin_trap();
  // One console with its lap time ("{0:07}" after 7 s) is the plain form.
  if (!line.quiet && !Same(per_console, FeedPlain(line, text, cuts))) __builtin_trap();

  // Tags, switches between consoles, and consoles that have no line.
  loader::ConsoleSettings many = one;
  many.lap = flags & 4;
  many.architecture_tags = flags & 8;
  many.console_tags = flags & 16;
  many.console_count = 1 + (flags >> 5) % 4;
  std::vector<int> consoles;
  for (size_t i = 0; i < 8; ++i) consoles.push_back(static_cast<int>((seed >> (i * 2)) % 5));
  FeedConsoles(many, text, cuts, consoles);
  return 0;
}
