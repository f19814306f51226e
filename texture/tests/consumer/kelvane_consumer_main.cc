// Converts a small image with the installed library and checks the result.
#include <kelvane/kelvane.h>

#include <cstdio>

int main() {
  Kelvane::CTexture texture;
  Kelvane::CDirectColorImage& image = texture.GetDirectColorImage();
  image.Create(4, 4, 0, 0, 0);
  for (unsigned short y = 0; y < 4; ++y) {
    for (unsigned short x = 0; x < 4; ++x) image.SetValue(x < 2 ? 255 : 0, y < 2 ? 255 : 0, 0, x, y);
  }
  texture.GetAlphaImage().Create(4, 4, 255);
  texture.SetType(Kelvane::CTexture::TYPE_DIRECT);
  Kelvane::CDefaultColorProcessor* processor =
      dynamic_cast<Kelvane::CDefaultColorProcessor*>(texture.GetColorProcessor());
  if (processor == nullptr || processor->GetConvertFactor().useTransparency) {
    std::puts("no default colour processor");
    return 1;
  }
  if (!texture.Convert(Kelvane::CTexture::TYPE_PALETTE4) ||
      texture.GetType() != Kelvane::CTexture::TYPE_PALETTE4 || texture.GetColorPalette().GetNumber() != 4) {
    std::puts("conversion failed");
    return 1;
  }
  unsigned char index = 0;
  texture.GetColorIndexImage().GetValue(&index, 3, 3);
  // The writer: 16 texels of 2 bits, 4 colour words.
  Kelvane::CMvx writer;
  unsigned int texel_bytes = 0, palette_bytes = 0, index_bytes = 0;
  unsigned char texel[4], palette[8];
  Kelvane::CMvx::tMemory memory{texel, 4, palette, 8, nullptr, 0};
  if (!writer.GetDataByteSize(&texel_bytes, &palette_bytes, &index_bytes, &texture, false) ||
      texel_bytes != 4 || palette_bytes != 8 || !writer.Write(&memory, &texture, false)) {
    std::puts("writing failed");
    return 1;
  }
  std::printf("ok %u\n", index);
  return 0;
}
