// The host's colour-index palette. Rows 10 to 249 follow the 24-hue, 5-shade rule of the
// index colours; 1 to 9 and the greys 250 to 255 are fixed.
#include <climits>

#include "host/acdb.h"

namespace {

struct Shade {
  int high, a, b, c;
};
// Full rows use {high, a, b, c} with low 0; pale rows {low, a, b, c} with the full high.
constexpr Shade kFull[5] = {{255, 64, 128, 191}, {166, 41, 83, 124}, {128, 32, 64, 96}, {77, 19, 38, 57}, {38, 10, 19, 29}};
constexpr Shade kPale[5] = {{128, 159, 191, 223}, {83, 104, 124, 145}, {64, 80, 96, 112}, {38, 48, 57, 67}, {19, 24, 29, 33}};

// Which value each component takes per hue group: H, L, a, b, c.
constexpr char kHues[24][4] = {"HLL", "HaL", "HbL", "HcL", "HHL", "cHL", "bHL", "aHL", "LHL", "LHa", "LHb", "LHc",
                               "LHH", "LcH", "LbH", "LaH", "LLH", "aLH", "bLH", "cLH", "HLH", "HLc", "HLb", "HLa"};

constexpr std::uint32_t pack(int r, int g, int b) { return std::uint32_t(r) | std::uint32_t(g) << 8 | std::uint32_t(b) << 16; }

}  // namespace

std::uint32_t kvAciToRgb(int index) {
  static const std::uint32_t fixed[10] = {0, pack(255, 0, 0), pack(255, 255, 0), pack(0, 255, 0), pack(0, 255, 255),
                                          pack(0, 0, 255), pack(255, 0, 255), pack(255, 255, 255), pack(128, 128, 128),
                                          pack(192, 192, 192)};
  static const int greys[6] = {84, 118, 152, 187, 221, 255};
  if (index < 1 || index > 255) return 0;
  if (index < 10) return fixed[index];
  if (index >= 250) return pack(greys[index - 250], greys[index - 250], greys[index - 250]);
  int group = index / 10 - 1, offset = index % 10, level = offset / 2;
  bool pale = offset % 2 == 1;
  int high = kFull[level].high, low = pale ? kPale[level].high : 0;
  const Shade& s = pale ? kPale[level] : kFull[level];
  int rgb[3];
  for (int i = 0; i < 3; ++i) {
    switch (kHues[group][i]) {
      case 'H': rgb[i] = high; break;
      case 'L': rgb[i] = low; break;
      case 'a': rgb[i] = s.a; break;
      case 'b': rgb[i] = s.b; break;
      default: rgb[i] = s.c; break;
    }
  }
  return pack(rgb[0], rgb[1], rgb[2]);
}

int kvRgbToNearestAci(Adesk::UInt8 red, Adesk::UInt8 green, Adesk::UInt8 blue) {
  int best = 7, bestDistance = INT_MAX;
  for (int i = 1; i <= 255; ++i) {
    std::uint32_t c = kvAciToRgb(i);
    int dr = int(c & 0xFF) - red, dg = int(c >> 8 & 0xFF) - green, db = int(c >> 16 & 0xFF) - blue;
    int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      best = i;
      bestDistance = d;
    }
  }
  return best;
}
