// The texture library from several threads at once: each thread converts
// textures of its own, each with a processor object of its own, writes their
// data, and must get the very bytes that the same work gave on one thread.
// Under ThreadSanitizer this also shows that the threads share no mutable
// state inside the library.
#include <gtest/gtest.h>

#include <cstdint>
#include <latch>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "kelvane/kelvane.h"
#include "kelvane_image_loader.h"
#include "kelvane_mvx_reference.h"

namespace {

using Kelvane::CColorPalette;
using Kelvane::CDefaultColorProcessor;
using Kelvane::CTexture;
using Factor = CDefaultColorProcessor::tConvertFactor;
using Bytes = std::vector<unsigned char>;

constexpr unsigned int kThreads = 4;

// A true-colour picture; `alpha` is empty for an opaque one.
struct Picture {
  unsigned short width = 0;
  unsigned short height = 0;
  Bytes rgb;
  Bytes alpha;
};

// A host's own processor class: the library then encodes on the calling
// thread through its virtual search.
class HostProcessor : public CDefaultColorProcessor {};

enum class Processor { kOwn, kHost, kLibraryDefault };

// One piece of work: a picture converted through `steps` in turn, the data
// written after each step.
struct Job {
  const char* name;
  unsigned int picture;
  Processor processor;
  Factor factor;
  bool fixed_palette;
  bool near_size;
  std::vector<CTexture::tType> steps;
};

struct Step {
  bool converted = false;
  unsigned int type = 0;
  bool written = false;
  reference::Data data;
  bool operator==(const Step&) const = default;
};

Factor Opaque(CDefaultColorProcessor::tAlgorithm algorithm = CDefaultColorProcessor::ALGORITHM_HILOW) {
  Factor f{};
  f.algorithm = algorithm;
  return f;
}
Factor Key(CDefaultColorProcessor::tAlgorithm algorithm = CDefaultColorProcessor::ALGORITHM_HILOW) {
  Factor f = Opaque(algorithm);
  f.useTransparency = true;
  f.transparentRed = 255;
  f.transparentBlue = 255;
  return f;
}
Factor Alpha(CDefaultColorProcessor::tAlgorithm algorithm = CDefaultColorProcessor::ALGORITHM_HILOW) {
  Factor f = Opaque(algorithm);
  f.useTransparency = true;
  f.useAlphaImage = true;
  return f;
}
Factor Shared(Factor f, unsigned char tolerance) {
  f.sharePalette = true;
  f.toleranceRed = f.toleranceGreen = f.toleranceBlue = tolerance;
  return f;
}

// The 64x64 photograph, opaque or with a soft-edged disc of alpha.
Picture Photo(bool with_alpha) {
  kelvane_example::Image image;
  Picture p;
  if (kelvane_example::LoadImage(std::string(TEST_DATA_DIR) + "/photo-cat-64.ppm", &image) !=
      kelvane_example::LoadStatus::kOk) {
    return p;
  }
  p.width = static_cast<unsigned short>(image.width);
  p.height = static_cast<unsigned short>(image.height);
  p.rgb = image.rgb;
  if (with_alpha) {
    for (int y = 0; y < p.height; ++y) {
      for (int x = 0; x < p.width; ++x) {
        const int d2 = (2 * x - p.width) * (2 * x - p.width) + (2 * y - p.height) * (2 * y - p.height);
        p.alpha.push_back(static_cast<unsigned char>(d2 < 2500 ? 255 : d2 < 4000 ? (4000 - d2) / 6 : 0));
      }
    }
  }
  return p;
}

// Gradients with noise and key-coloured (magenta) squares.
Picture Pattern(unsigned short width, unsigned short height, unsigned int seed) {
  std::mt19937 random(seed);
  Picture p;
  p.width = width;
  p.height = height;
  for (unsigned int y = 0; y < height; ++y) {
    for (unsigned int x = 0; x < width; ++x) {
      if ((x / 6 + y / 6) % 7 == 0) {
        p.rgb.insert(p.rgb.end(), {255, 0, 255});
        continue;
      }
      const unsigned int noise = random() % 24;
      p.rgb.push_back(static_cast<unsigned char>(x * 255 / width));
      p.rgb.push_back(static_cast<unsigned char>((y * 255 / height) ^ noise));
      p.rgb.push_back(static_cast<unsigned char>((x + y) * 2 + noise));
    }
  }
  return p;
}

// A fixed palette of 16 greys and colours.
CColorPalette FixedPalette() {
  CColorPalette palette;
  palette.Create(16, 0, 0, 0);
  for (unsigned int i = 0; i < 16; ++i) {
    palette.SetValue(static_cast<unsigned char>(i * 17), static_cast<unsigned char>(255 - i * 13),
                     static_cast<unsigned char>(i % 4 * 80), i);
  }
  return palette;
}

// Everything a job uses is made here, on the calling thread, except the
// library's own default processor, which a texture without one shares.
std::vector<Step> RunJob(const Job& job, const Picture& picture) {
  CDefaultColorProcessor own;
  HostProcessor host;
  CColorPalette fixed = FixedPalette();
  Factor factor = job.factor;
  if (job.fixed_palette) factor.pFixedPalette = &fixed;

  CTexture texture;
  if (job.processor == Processor::kOwn) {
    own.SetConvertFactor(&factor);
    texture.SetColorProcessor(&own);
  } else if (job.processor == Processor::kHost) {
    host.SetConvertFactor(&factor);
    texture.SetColorProcessor(&host);
  }
  texture.GetDirectColorImage().Create(picture.width, picture.height, 0, 0, 0);
  if (!picture.alpha.empty()) texture.GetAlphaImage().Create(picture.width, picture.height, 255);
  for (unsigned short y = 0; y < picture.height; ++y) {
    for (unsigned short x = 0; x < picture.width; ++x) {
      const size_t i = size_t{y} * picture.width + x;
      texture.GetDirectColorImage().SetValue(picture.rgb[3 * i], picture.rgb[3 * i + 1], picture.rgb[3 * i + 2],
                                             x, y);
      if (!picture.alpha.empty()) texture.GetAlphaImage().SetValue(picture.alpha[i], x, y);
    }
  }
  texture.SetType(CTexture::TYPE_DIRECT);

  std::vector<Step> steps(job.steps.size());
  for (size_t s = 0; s < job.steps.size(); ++s) {
    steps[s].converted = texture.Convert(job.steps[s]);
    steps[s].type = texture.GetType();
    steps[s].written = reference::LibraryWrite(&texture, job.near_size, &steps[s].data);
  }
  return steps;
}

std::vector<Job> Jobs() {
  using A = CDefaultColorProcessor;
  using T = CTexture;
  constexpr Processor kOwn = Processor::kOwn, kHost = Processor::kHost, kDefault = Processor::kLibraryDefault;
  // Pictures: 0 the photo, 1 the photo with alpha, 2 a 48x40 pattern (grown
  // to 64x64 with near_size), 3 a 128x64 pattern (enough 4x4 blocks for the
  // library to encode them on several threads of its own).
  return {
      {"photo palette256, then palette16", 0, kOwn, Opaque(), false, false,
       {T::TYPE_PALETTE256, T::TYPE_PALETTE16}},
      {"photo palette16 (host processor), then direct", 0, kHost, Opaque(), false, false,
       {T::TYPE_PALETTE16, T::TYPE_DIRECT}},
      {"photo palette4 (library's processor)", 0, kDefault, Opaque(), false, false, {T::TYPE_PALETTE4}},
      {"alpha photo a3i5, then a5i3", 1, kOwn, Alpha(), false, false, {T::TYPE_A3I5, T::TYPE_A5I3}},
      {"alpha photo a5i3 (host processor)", 1, kHost, Alpha(), false, false, {T::TYPE_A5I3}},
      {"pattern palette16 key, grown", 2, kOwn, Key(), false, true, {T::TYPE_PALETTE16, T::TYPE_TEX4X4}},
      {"pattern palette256 fixed palette", 2, kOwn, Opaque(), true, false, {T::TYPE_PALETTE256}},
      {"pattern palette4 key (host processor)", 2, kHost, Key(), false, false, {T::TYPE_PALETTE4}},
      {"photo tex4x4 hilow, then palette256", 0, kOwn, Opaque(), false, false,
       {T::TYPE_TEX4X4, T::TYPE_PALETTE256}},
      {"photo tex4x4 roundrobin shared", 0, kOwn, Shared(Opaque(A::ALGORITHM_ROUNDROBIN), 1), false, false,
       {T::TYPE_TEX4X4, T::TYPE_DIRECT}},
      {"alpha photo tex4x4 hilow-linear (host processor)", 1, kHost, Alpha(A::ALGORITHM_HILOW_LINEAR), false,
       false, {T::TYPE_TEX4X4}},
      {"pattern tex4x4 key roundrobin-linear shared, grown", 2, kOwn,
       Shared(Key(A::ALGORITHM_ROUNDROBIN_LINEAR), 0), false, true, {T::TYPE_TEX4X4}},
      {"wide pattern tex4x4 hilow-linear shared", 3, kOwn, Shared(Opaque(A::ALGORITHM_HILOW_LINEAR), 2), false,
       false, {T::TYPE_TEX4X4, T::TYPE_A3I5}},
      {"wide pattern tex4x4 (library's processor)", 3, kDefault, Opaque(), false, false, {T::TYPE_TEX4X4}},
      {"pattern direct, grown", 2, kOwn, Key(), false, true, {T::TYPE_DIRECT}},
  };
}

TEST(KelvaneThreads, ConcurrentConversionsMatchOneThread) {
  const std::vector<Picture> pictures = {Photo(false), Photo(true), Pattern(48, 40, 7), Pattern(128, 64, 8)};
  ASSERT_EQ(pictures[0].width, 64u);
  const std::vector<Job> jobs = Jobs();

  // The same work on this thread alone first; every step must really convert
  // and write.
  std::vector<std::vector<Step>> want;
  for (const Job& job : jobs) {
    want.push_back(RunJob(job, pictures[job.picture]));
    for (size_t s = 0; s < job.steps.size(); ++s) {
      SCOPED_TRACE(std::string(job.name) + ", step " + std::to_string(s));
      EXPECT_TRUE(want.back()[s].converted);
      EXPECT_EQ(want.back()[s].type, job.steps[s]);
      EXPECT_TRUE(want.back()[s].written);
      EXPECT_FALSE(want.back()[s].data.texel.empty());
      EXPECT_EQ(want.back()[s].data.palette.empty(), job.steps[s] == CTexture::TYPE_DIRECT);
      EXPECT_EQ(want.back()[s].data.index.empty(), job.steps[s] != CTexture::TYPE_TEX4X4);
    }
  }

  // Every thread does every job, each starting at another job so that
  // different conversions overlap, all released at once.
  std::vector<std::vector<std::vector<Step>>> got(kThreads, std::vector<std::vector<Step>>(jobs.size()));
  std::latch start(kThreads);
  std::vector<std::thread> threads;
  for (unsigned int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      start.arrive_and_wait();
      for (size_t n = 0; n < jobs.size(); ++n) {
        const size_t j = (n + t * jobs.size() / kThreads) % jobs.size();
        got[t][j] = RunJob(jobs[j], pictures[jobs[j].picture]);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  for (unsigned int t = 0; t < kThreads; ++t) {
    for (size_t j = 0; j < jobs.size(); ++j) {
      EXPECT_TRUE(got[t][j] == want[j]) << "thread " << t << ": " << jobs[j].name;
    }
  }
}

}  // namespace
