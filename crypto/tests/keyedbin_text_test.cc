// keyedbin's C array text, written in pieces through the shared C-text
// writer, against one formatted print per element.
#include "keyedbin_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "keyedbin_reference.h"

namespace {

TEST(KeyedbinText, MatchesOnePrintPerElementAcrossPieces) {
  std::mt19937 rng(3);
  for (int width : {1, 2, 4}) {
    for (size_t elements :
         {size_t{0}, size_t{1}, size_t{7}, size_t{8}, size_t{16}, size_t{17}, size_t{250000}}) {
      std::vector<uint8_t> data(elements * static_cast<size_t>(width));
      for (auto& b : data) b = static_cast<uint8_t>(rng());
      std::string text;
      size_t pieces = 0;
      support::CTextWriter writer([&](const char* p, size_t n) {
        text.append(p, n);
        ++pieces;
        return true;
      });
      writer.Append(keyedbin::ArrayHead(width, "game_rc4", elements));
      // The elements arrive in pieces of random length, as keyedbin reads them.
      for (size_t done = 0; done < elements;) {
        const size_t n = std::min(elements - done, size_t{1} + rng() % 40000);
        writer.AppendLittleEndian(data.data() + done * static_cast<size_t>(width), n, width, done,
                                  keyedbin::ArrayLayout(width));
        done += n;
      }
      writer.Append(keyedbin::kArrayTail);
      ASSERT_TRUE(writer.Flush());
      EXPECT_EQ(text, keyedbin_reference::LiteralText(data, width, "game_rc4")) << width << " x " << elements;
      if (elements == 250000) {
        EXPECT_GE(pieces, 2u);
      }
    }
  }
}

}  // namespace
