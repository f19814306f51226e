// The refined processor's palette: a histogram of the colours, boxes split by
// their error, Lloyd iterations on the console's 5-bit grid.
//
// Every quantity that decides a colour or an assignment is an integer, so the
// result is the same on every machine and with any number of threads: the
// threads only share out the assignment step, and their integer sums are added
// in a fixed order.
#include "kelvane_refined_palette.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <system_error>
#include <thread>

namespace Kelvane::internal {

namespace {

// Histogram cells keep 6 bits per channel; each cell is one point at the mean
// of its texels. A 5-bit grid step spans two cells, so the assignment
// rarely differs from that of the texels themselves, while the sums stay
// exact.
constexpr unsigned int kCellBits = 6;
constexpr unsigned int kCellShift = 8 - kCellBits;
constexpr unsigned int kCells = 1u << (3 * kCellBits);
// Below kCells / this many colours the histogram sorts the colours instead of
// filling a table of every cell.
constexpr unsigned int kSparseHistogramRatio = 8;
// Point coordinates are in eighths of a channel step.
constexpr int32_t kScale = 8;
// Lloyd iterations: most of the gain comes in the first few; the grid
// iterations rarely take more than one or two.
constexpr unsigned int kFreeIterations = 16;
constexpr unsigned int kGridIterations = 4;
// Below this many points per thread a thread costs more than it saves.
constexpr size_t kPointsPerThread = 4096;
constexpr unsigned int kMaxThreads = 16;

struct Point {
  uint64_t count;
  uint64_t sum[3];
  int32_t at[3];  // the mean, in eighths
};

struct Sums {
  uint64_t count = 0;
  uint64_t sum[3] = {0, 0, 0};
};

constexpr int32_t kWeight[3] = {kRefinedWeightRed, kRefinedWeightGreen, kRefinedWeightBlue};

constexpr uint32_t kGridColours = uint32_t{1} << 15;

// The 8-bit value of 5-bit level c, as the console widens it.
constexpr int32_t Grid(int32_t c) { return (c << 3) | (c >> 2); }

// A palette colour while it is chosen: in eighths of a channel step, on the
// grid once snapped.
struct Centre {
  int32_t at[3];

  static Centre Mean(const Sums& sums) {
    Centre centre;
    for (int c = 0; c < 3; ++c) {
      centre.at[c] = static_cast<int32_t>((2 * kScale * sums.sum[c] + sums.count) / (2 * sums.count));
    }
    return centre;
  }
  // The grid value nearest each channel, the lower one on a tie.
  void Snap() {
    for (int32_t& v : at) {
      int32_t best = 0;
      for (int32_t c = 1; c < 32; ++c) {
        if (std::abs(kScale * Grid(c) - v) < std::abs(kScale * Grid(best) - v)) best = c;
      }
      v = kScale * Grid(best);
    }
  }
  // The 5-bit colour of a centre on the grid.
  uint32_t GridKey() const {
    const auto level = [&](int c) { return static_cast<uint32_t>(at[c] / kScale) >> 3; };
    return level(0) << 10 | level(1) << 5 | level(2);
  }
  tTLBRGB Colour() const {
    return {static_cast<unsigned char>(at[0] / kScale), static_cast<unsigned char>(at[1] / kScale),
            static_cast<unsigned char>(at[2] / kScale)};
  }
  bool operator==(const Centre& other) const {
    return at[0] == other.at[0] && at[1] == other.at[1] && at[2] == other.at[2];
  }
};

uint32_t PointDistance(const Point& p, const Centre& c) {
  return RefinedDistance(p.at[0], p.at[1], p.at[2], c.at[0], c.at[1], c.at[2]);
}

// The histogram's points, in cell order.
std::vector<Point> Histogram(const CColorPalette& colours) {
  const std::vector<HistogramCell> cells = ColourHistogram(colours);
  std::vector<Point> points(cells.size());
  for (size_t i = 0; i < cells.size(); ++i) {
    Point& p = points[i];
    p.count = cells[i].count;
    for (int c = 0; c < 3; ++c) {
      p.sum[c] = cells[i].sum[c];
      p.at[c] = static_cast<int32_t>((2 * kScale * p.sum[c] + p.count) / (2 * p.count));
    }
  }
  return points;
}

// A box of the histogram: points order[first, end), their error about their
// mean (weighted, in eighths squared) and the channel along which it is widest.
struct Box {
  size_t first, end;
  Sums sums;
  uint64_t error;
  int axis;
};

Box MakeBox(const std::vector<Point>& points, const std::vector<uint32_t>& order, size_t first, size_t end) {
  Box box{first, end, Sums(), 0, 0};
  for (size_t i = first; i < end; ++i) {
    const Point& p = points[order[i]];
    box.sums.count += p.count;
    for (int c = 0; c < 3; ++c) box.sums.sum[c] += p.sum[c];
  }
  int32_t mean[3];
  for (int c = 0; c < 3; ++c) {
    mean[c] = static_cast<int32_t>((2 * kScale * box.sums.sum[c] + box.sums.count) / (2 * box.sums.count));
  }
  uint64_t per_axis[3] = {0, 0, 0};
  for (size_t i = first; i < end; ++i) {
    const Point& p = points[order[i]];
    for (int c = 0; c < 3; ++c) {
      const auto d = static_cast<int64_t>(p.at[c] - mean[c]);
      per_axis[c] += p.count * static_cast<uint64_t>(kWeight[c] * d * d);
    }
  }
  box.error = per_axis[0] + per_axis[1] + per_axis[2];
  for (int c = 1; c < 3; ++c) {
    if (per_axis[c] > per_axis[box.axis]) box.axis = c;
  }
  return box;
}

// Splits the box across its widest channel at the mean: the split that a
// Lloyd step would make between two colours on either side of it. When every
// point lies on one side (a heavy point at the mean), at the median instead.
size_t SplitPoint(const std::vector<Point>& points, std::vector<uint32_t>* order, const Box& box) {
  const int axis = box.axis;
  // Sorted through plain pointers: vector iterators would bring a comparison
  // object of the standard library into the library's exported symbols.
  std::sort(order->data() + box.first, order->data() + box.end, [&](uint32_t a, uint32_t b) {
    return points[a].at[axis] != points[b].at[axis] ? points[a].at[axis] < points[b].at[axis] : a < b;
  });
  const uint64_t count = box.sums.count, sum = kScale * box.sums.sum[axis];
  size_t split = box.first;
  while (split < box.end && static_cast<uint64_t>(points[(*order)[split]].at[axis]) * count <= sum) ++split;
  if (split > box.first && split < box.end) return split;
  // Both halves keep a point, also when the last one outweighs all others.
  uint64_t seen = 0;
  for (split = box.first; split + 2 < box.end; ++split) {
    seen += points[(*order)[split]].count;
    if (2 * seen >= count) break;
  }
  return split + 1;
}

std::vector<Centre> SplitBoxes(const std::vector<Point>& points, unsigned int count) {
  std::vector<uint32_t> order(points.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<uint32_t>(i);
  std::vector<Box> boxes{MakeBox(points, order, 0, points.size())};
  while (boxes.size() < count) {
    size_t widest = boxes.size();
    for (size_t i = 0; i < boxes.size(); ++i) {
      if (boxes[i].end - boxes[i].first < 2 || boxes[i].error == 0) continue;
      if (widest == boxes.size() || boxes[i].error > boxes[widest].error) widest = i;
    }
    if (widest == boxes.size()) break;
    const Box box = boxes[widest];
    const size_t split = SplitPoint(points, &order, box);
    boxes[widest] = MakeBox(points, order, box.first, split);
    boxes.push_back(MakeBox(points, order, split, box.end));
  }
  std::vector<Centre> centres;
  for (const Box& box : boxes) centres.push_back(Centre::Mean(box.sums));
  return centres;
}

struct Assignment {
  std::vector<uint32_t> entry;  // per point
  std::vector<uint64_t> error;  // per point: its count times its distance
};

// One assignment step over points [first, end): each point to its nearest
// centre, the sums of every centre's texels, and how many points moved.
size_t Assign(const std::vector<Point>& points, const RefinedSearch& search, const std::vector<Centre>& centres,
              size_t first, size_t end, Assignment* assignment, std::vector<Sums>* sums) {
  size_t moved = 0;
  for (size_t i = first; i < end; ++i) {
    const Point& p = points[i];
    const unsigned int before = assignment->entry[i];
    const unsigned int e = search.Find(p.at[0], p.at[1], p.at[2], static_cast<int>(before));
    if (e != before) ++moved;
    assignment->entry[i] = e;
    assignment->error[i] = p.count * PointDistance(p, centres[e]);
    Sums& s = (*sums)[e];
    s.count += p.count;
    for (int c = 0; c < 3; ++c) s.sum[c] += p.sum[c];
  }
  return moved;
}

unsigned int ThreadCount(unsigned int requested, size_t points) {
  unsigned int threads = requested != 0 ? requested : std::thread::hardware_concurrency();
  const size_t useful = points / kPointsPerThread;
  threads = std::min<unsigned int>(threads, kMaxThreads);
  threads = static_cast<unsigned int>(std::min<size_t>(threads, useful));
  return std::max(threads, 1u);
}

// Lloyd iterations: every point to its nearest centre, every centre to the
// mean of its points (on the grid when `on_grid`), until nothing moves. A
// centre left without points starts again at the point that carries the most
// error.
void Lloyd(const std::vector<Point>& points, unsigned int workers, unsigned int iterations, bool on_grid,
           Assignment* assignment, std::vector<Centre>* centres) {
  const auto entries = static_cast<unsigned int>(centres->size());
  std::vector<std::vector<Sums>> sums(workers);
  std::vector<size_t> moved(workers);
  for (unsigned int iteration = 0; iteration < iterations; ++iteration) {
    std::vector<RefinedSearch::Colour> at(entries);
    for (unsigned int e = 0; e < entries; ++e) {
      const Centre& centre = (*centres)[e];
      at[e] = {centre.at[0], centre.at[1], centre.at[2]};
    }
    const RefinedSearch search(at, -1);
    // Fixed ranges per worker, so that the sums do not depend on timing.
    auto work = [&](unsigned int w) {
      sums[w].assign(entries, Sums());
      const size_t first = points.size() * w / workers, end = points.size() * (w + 1) / workers;
      moved[w] = Assign(points, search, *centres, first, end, assignment, &sums[w]);
    };
    std::vector<std::thread> pool;
    for (unsigned int w = 1; w < workers; ++w) {
      try {
        pool.emplace_back(work, w);
      } catch (const std::system_error&) {
        work(w);  // no thread to be had: the same range on this one
      }
    }
    work(0);
    for (std::thread& thread : pool) thread.join();

    size_t total_moved = 0;
    std::vector<Sums> total(entries);
    for (unsigned int w = 0; w < workers; ++w) {
      total_moved += moved[w];
      for (unsigned int e = 0; e < entries; ++e) {
        total[e].count += sums[w][e].count;
        for (int c = 0; c < 3; ++c) total[e].sum[c] += sums[w][e].sum[c];
      }
    }
    if (iteration > 0 && total_moved == 0) return;

    // Centres move to the mean of their points. One without points, or (on
    // the grid) one that lands on an earlier centre's colour, starts again at
    // the point that carries the most error and whose colour no centre has.
    std::vector<Centre> next(*centres);
    std::vector<bool> taken(on_grid ? kGridColours : 0);
    std::vector<unsigned int> restart;
    for (unsigned int e = 0; e < entries; ++e) {
      if (total[e].count == 0) {
        restart.push_back(e);
        continue;
      }
      next[e] = Centre::Mean(total[e]);
      if (!on_grid) continue;
      next[e].Snap();
      if (taken[next[e].GridKey()]) {
        restart.push_back(e);
      } else {
        taken[next[e].GridKey()] = true;
      }
    }
    for (const unsigned int e : restart) {
      for (;;) {
        const auto worst = static_cast<size_t>(
            std::max_element(assignment->error.begin(), assignment->error.end()) - assignment->error.begin());
        if (assignment->error[worst] == 0) break;  // every point sits on a centre: keep this one
        assignment->error[worst] = 0;
        const Point& p = points[worst];
        Centre start = Centre::Mean(Sums{p.count, {p.sum[0], p.sum[1], p.sum[2]}});
        if (on_grid) {
          start.Snap();
          if (taken[start.GridKey()]) continue;
          taken[start.GridKey()] = true;
        }
        next[e] = start;
        break;
      }
    }
    const bool changed = !std::equal(next.begin(), next.end(), centres->begin());
    *centres = next;
    if (!changed) return;
  }
}

}  // namespace

RefinedSearch::RefinedSearch(const std::vector<Colour>& entries, short excluded)
    : position_(entries.size(), std::numeric_limits<unsigned int>::max()) {
  for (unsigned int i = 0; i < entries.size(); ++i) {
    if (static_cast<int>(i) == excluded) continue;
    by_green_.push_back({entries[i].red, entries[i].green, entries[i].blue, i});
  }
  std::sort(by_green_.data(), by_green_.data() + by_green_.size(), [](const Entry& a, const Entry& b) {
    return a.green != b.green ? a.green < b.green : a.index < b.index;
  });
  for (unsigned int place = 0; place < by_green_.size(); ++place) position_[by_green_[place].index] = place;
}

namespace {

std::vector<RefinedSearch::Colour> PaletteColours(const CColorPalette& palette) {
  std::vector<RefinedSearch::Colour> colours(palette.GetNumber());
  for (unsigned int i = 0; i < colours.size(); ++i) {
    unsigned char r, g, b;
    palette.GetValue(&r, &g, &b, i);
    colours[i] = {r, g, b};
  }
  return colours;
}

}  // namespace

RefinedSearch::RefinedSearch(const CColorPalette& palette, short excluded)
    : RefinedSearch(PaletteColours(palette), excluded) {}

unsigned int RefinedSearch::Find(int32_t red, int32_t green, int32_t blue, int hint) const {
  const size_t n = by_green_.size();
  uint32_t best = std::numeric_limits<uint32_t>::max();
  unsigned int best_index = 0;
  auto consider = [&](const Entry& e) {
    const uint32_t d = RefinedDistance(red, green, blue, e.red, e.green, e.blue);
    if (d < best || (d == best && e.index < best_index)) {
      best = d;
      best_index = e.index;
    }
  };
  if (hint >= 0 && static_cast<size_t>(hint) < position_.size() && position_[hint] < n) {
    consider(by_green_[position_[hint]]);
  }
  // Outwards from the query's green: past a green difference whose weight
  // alone exceeds the best distance, no entry can win, not even on a tie.
  size_t up = std::lower_bound(by_green_.begin(), by_green_.end(), green,
                               [](const Entry& e, int32_t g) { return e.green < g; }) -
              by_green_.begin();
  size_t down = up;
  bool going_up = up < n, going_down = down > 0;
  while (going_up || going_down) {
    if (going_up) {
      const Entry& e = by_green_[up];
      const int32_t dg = e.green - green;
      if (static_cast<uint32_t>(kRefinedWeightGreen * dg * dg) > best) {
        going_up = false;
      } else {
        consider(e);
        going_up = ++up < n;
      }
    }
    if (going_down) {
      const Entry& e = by_green_[down - 1];
      const int32_t dg = green - e.green;
      if (static_cast<uint32_t>(kRefinedWeightGreen * dg * dg) > best) {
        going_down = false;
      } else {
        consider(e);
        going_down = --down > 0;
      }
    }
  }
  return best_index;
}

std::vector<HistogramCell> ColourHistogram(const CColorPalette& colours) {
  const unsigned int n = colours.GetNumber();
  const unsigned char* channel[3] = {colours.GetRedChannel().GetpData(), colours.GetGreenChannel().GetpData(),
                                     colours.GetBlueChannel().GetpData()};
  const auto cell_of = [](uint32_t r, uint32_t g, uint32_t b) {
    return ((r >> kCellShift) << (2 * kCellBits)) | ((g >> kCellShift) << kCellBits) | (b >> kCellShift);
  };
  std::vector<HistogramCell> cells;
  if (n >= kCells / kSparseHistogramRatio) {
    // Many colours: a table of every cell (8 MiB), read in cell order.
    std::vector<Sums> table(kCells);
    for (unsigned int i = 0; i < n; ++i) {
      const uint32_t r = channel[0][i], g = channel[1][i], b = channel[2][i];
      Sums& cell = table[cell_of(r, g, b)];
      ++cell.count;
      cell.sum[0] += r;
      cell.sum[1] += g;
      cell.sum[2] += b;
    }
    for (uint32_t k = 0; k < kCells; ++k) {
      if (table[k].count == 0) continue;
      cells.push_back(HistogramCell{k, table[k].count, {table[k].sum[0], table[k].sum[1], table[k].sum[2]}});
    }
    return cells;
  }
  // Few colours: each colour keyed by its cell, sorted, and runs of one cell
  // summed, which gives the same cells in the same order at the cost of a
  // sort of the colours instead of a table of every cell.
  std::vector<uint64_t> keyed(n);
  for (unsigned int i = 0; i < n; ++i) {
    const uint32_t r = channel[0][i], g = channel[1][i], b = channel[2][i];
    keyed[i] = (uint64_t{cell_of(r, g, b)} << 24) | (r << 16) | (g << 8) | b;
  }
  // Through plain pointers and a comparison of its own, as the other sorts
  // here, so that no sort of the standard library is exported.
  std::sort(keyed.data(), keyed.data() + keyed.size(), [](uint64_t a, uint64_t b) { return a < b; });
  for (const uint64_t key : keyed) {
    const auto k = static_cast<uint32_t>(key >> 24);
    if (cells.empty() || cells.back().cell != k) cells.push_back(HistogramCell{k, 0, {0, 0, 0}});
    HistogramCell& cell = cells.back();
    ++cell.count;
    cell.sum[0] += (key >> 16) & 0xFF;
    cell.sum[1] += (key >> 8) & 0xFF;
    cell.sum[2] += key & 0xFF;
  }
  return cells;
}

std::vector<tTLBRGB> RefinePalette(const CColorPalette& colours, unsigned int count, unsigned int threads) {
  if (count == 0 || colours.GetNumber() == 0) return {};
  const std::vector<Point> points = Histogram(colours);
  std::vector<Centre> centres = SplitBoxes(points, count);
  const unsigned int workers = ThreadCount(threads, points.size());
  Assignment assignment;
  assignment.entry.assign(points.size(), 0);
  assignment.error.assign(points.size(), 0);
  // First the centres move freely (in eighths), which lets them travel
  // further than a grid step; then on the grid, where the colours must end.
  Lloyd(points, workers, kFreeIterations, false, &assignment, &centres);
  for (Centre& centre : centres) centre.Snap();
  Lloyd(points, workers, kGridIterations, true, &assignment, &centres);

  // Distinct colours, brightest first.
  std::vector<tTLBRGB> distinct;
  for (const Centre& centre : centres) {
    const tTLBRGB c = centre.Colour();
    const bool seen = std::any_of(distinct.begin(), distinct.end(), [&](const tTLBRGB& d) {
      return d.red == c.red && d.green == c.green && d.blue == c.blue;
    });
    if (!seen) distinct.push_back(c);
  }
  auto key = [](const tTLBRGB& c) {
    return (uint64_t{77u * c.red + 151u * c.green + 28u * c.blue} << 24) | (uint64_t{c.red} << 16) |
           (uint64_t{c.green} << 8) | c.blue;
  };
  std::sort(distinct.data(), distinct.data() + distinct.size(),
            [&](const tTLBRGB& a, const tTLBRGB& b) { return key(a) > key(b); });
  return distinct;
}

}  // namespace Kelvane::internal
