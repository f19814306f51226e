// Converts a two-colour image to a 4-colour palette texture with the packaged
// library and prints what it got.
#include <kelvane/kelvane.h>

#include <cstdio>

int main() {
  Kelvane::CTexture texture;
  Kelvane::CDirectColorImage& image = texture.GetDirectColorImage();
  image.Create(8, 8, 0, 0, 0);
  for (unsigned short y = 0; y < 8; ++y) {
    for (unsigned short x = 0; x < 8; ++x) image.SetValue(x < 4 ? 255 : 0, 0, x < 4 ? 0 : 255, x, y);
  }
  texture.GetAlphaImage().Create(8, 8, 255);
  texture.SetType(Kelvane::CTexture::TYPE_DIRECT);
  texture.Convert(Kelvane::CTexture::TYPE_PALETTE4);
  if (texture.GetType() != Kelvane::CTexture::TYPE_PALETTE4) {
    std::puts("conversion failed");
    return 1;
  }
  unsigned char left = 0;
  unsigned char right = 0;
  texture.GetColorIndexImage().GetValue(&left, 0, 0);
  texture.GetColorIndexImage().GetValue(&right, 7, 7);
  std::printf("%s\n", left != right ? "ok" : "one colour");
  return left != right ? 0 : 1;
}
