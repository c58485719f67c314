#include "import/windows1252.h"

#include <libxml/encoding.h>

#include <mutex>

namespace zel::xml {
namespace {

// UTF-8 of each byte 0x80..0xFF; an unassigned byte maps to the C1 control of the same value, as
// the other decoders of this library do.
struct Table {
  unsigned char bytes[128][3];
  unsigned char length[128];
};

const Table& Windows1252Table() {
  static const Table table = [] {
    static const unsigned short kHigh[32] = {
        0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    Table built{};
    for (int b = 0x80; b <= 0xFF; ++b) {
      const unsigned cp = b < 0xA0 ? kHigh[b - 0x80] : static_cast<unsigned>(b);
      unsigned char* out = built.bytes[b - 0x80];
      if (cp < 0x800) {
        out[0] = static_cast<unsigned char>(0xC0 | (cp >> 6));
        out[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        built.length[b - 0x80] = 2;
      } else {
        out[0] = static_cast<unsigned char>(0xE0 | (cp >> 12));
        out[1] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        built.length[b - 0x80] = 3;
      }
    }
    return built;
  }();
  return table;
}

// libxml2's input contract: convert as much of `in` as fits into `out`, report both lengths.
int Windows1252ToUtf8(unsigned char* out, int* out_length, const unsigned char* in,
                      int* in_length) {
  const Table& table = Windows1252Table();
  const int in_end = *in_length;
  const int out_end = *out_length;
  int i = 0;
  int o = 0;
  while (i < in_end) {
    const unsigned char c = in[i];
    if (c < 0x80) {
      if (o + 1 > out_end) break;
      out[o++] = c;
    } else {
      const int length = table.length[c - 0x80];
      if (o + length > out_end) break;
      for (int k = 0; k < length; ++k) out[o++] = table.bytes[c - 0x80][k];
    }
    ++i;
  }
  *in_length = i;
  *out_length = o;
  return o;
}

}  // namespace

void RegisterWindows1252Decoder() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (const char* name : {"windows-1252", "cp1252"}) {
      // Creating a handler also registers it; libxml2 then prefers it to iconv.
      xmlNewCharEncodingHandler(name, Windows1252ToUtf8, nullptr);
    }
  });
}

}  // namespace zel::xml
