// palette_psnr: how close a converted picture is to its original, for the
// palette quality script (bench/palette_quality.sh).
//
//   palette_psnr ORIGINAL CANDIDATE
//
// Both are binary PPM or PNG images of the same size. The candidate is first
// limited to the console's 5-bit channels (c = v >> 3, shown as
// (c << 3) | (c >> 2)), as the console would show it. Prints one line:
//   PSNR_DB SSIM
// PSNR over red, green and blue against the original's 8-bit values, and the
// mean structural similarity of the luma (Y = 0.299 R + 0.587 G + 0.114 B)
// over 8x8 windows placed every 4 texels, which weighs the texture of noise and
// banding rather than the error of each texel alone.
#include <cmath>
#include <cstdio>
#include <vector>

#include "kelvane_image_loader.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;

std::vector<double> Luma(const kelvane_example::Image& image) {
  std::vector<double> y(size_t{image.width} * image.height);
  for (size_t i = 0; i < y.size(); ++i) {
    y[i] = 0.299 * image.rgb[3 * i] + 0.587 * image.rgb[3 * i + 1] + 0.114 * image.rgb[3 * i + 2];
  }
  return y;
}

double Ssim(const kelvane_example::Image& a, const kelvane_example::Image& b) {
  constexpr unsigned int kWindow = 8, kStep = 4;
  constexpr double kC1 = (0.01 * 255) * (0.01 * 255), kC2 = (0.03 * 255) * (0.03 * 255);
  const std::vector<double> ya = Luma(a), yb = Luma(b);
  double total = 0;
  unsigned int windows = 0;
  for (unsigned int y0 = 0; y0 + kWindow <= a.height; y0 += kStep) {
    for (unsigned int x0 = 0; x0 + kWindow <= a.width; x0 += kStep) {
      double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
      for (unsigned int y = y0; y < y0 + kWindow; ++y) {
        for (unsigned int x = x0; x < x0 + kWindow; ++x) {
          const double p = ya[size_t{y} * a.width + x], q = yb[size_t{y} * a.width + x];
          sa += p, sb += q, saa += p * p, sbb += q * q, sab += p * q;
        }
      }
      const double n = kWindow * kWindow;
      const double ma = sa / n, mb = sb / n;
      const double va = saa / n - ma * ma, vb = sbb / n - mb * mb, cov = sab / n - ma * mb;
      total += (2 * ma * mb + kC1) * (2 * cov + kC2) / ((ma * ma + mb * mb + kC1) * (va + vb + kC2));
      ++windows;
    }
  }
  return windows == 0 ? 1.0 : total / windows;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: palette_psnr ORIGINAL CANDIDATE\n", stderr);
    return kExitFailure;
  }
  kelvane_example::Image original, candidate;
  for (int k = 1; k <= 2; ++k) {
    if (kelvane_example::LoadImage(argv[k], k == 1 ? &original : &candidate) != kelvane_example::LoadStatus::kOk) {
      std::fprintf(stderr, "palette_psnr: cannot read %s as a binary PPM or PNG image\n", argv[k]);
      return kExitFailure;
    }
  }
  if (original.width != candidate.width || original.height != candidate.height) {
    std::fprintf(stderr, "palette_psnr: %s and %s differ in size\n", argv[1], argv[2]);
    return kExitFailure;
  }
  for (unsigned char& v : candidate.rgb) v = static_cast<unsigned char>(((v >> 3) << 3) | (v >> 5));
  double squared = 0;
  for (size_t i = 0; i < original.rgb.size(); ++i) {
    const double d = static_cast<double>(original.rgb[i]) - candidate.rgb[i];
    squared += d * d;
  }
  const double mse = squared / static_cast<double>(original.rgb.size());
  const double psnr = mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
  std::printf("%.2f %.4f\n", psnr, Ssim(original, candidate));
  return kExitOk;
}
