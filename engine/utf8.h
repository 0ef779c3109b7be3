#pragma once
// The shape of UTF-8: which bytes start a character, how long it is and
// which second bytes are allowed (no overlong forms, no surrogates, nothing
// past U+10FFFF).
#include <cstddef>
#include <cstdint>

// The length of the character that a lead byte starts: 1 for ASCII, 2 to 4
// for a multi-byte character, 0 for a byte that starts none (a continuation
// byte, C0, C1, F5 to FF).
inline int Utf8Length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead < 0xC2) return 0;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  if (lead < 0xF5) return 4;
  return 0;
}

// The range of the byte after a lead byte of a multi-byte character.
inline void Utf8SecondByteRange(unsigned char lead, unsigned char& low, unsigned char& high) {
  low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
  high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
}

// The multi-byte character at p (p < end, *p >= 0x80): its length, with the
// code point in ch, or 0 when the bytes from p on are not a whole, valid
// character (then the byte at p stands for itself).
inline int DecodeUtf8(const unsigned char* p, const unsigned char* end, char32_t& ch) {
  const int length = Utf8Length(p[0]);
  if (length < 2 || end - p < length) return 0;
  unsigned char low, high;
  Utf8SecondByteRange(p[0], low, high);
  if (p[1] < low || p[1] > high) return 0;
  if (length == 2) {
    ch = (char32_t{p[0] & 0x1Fu} << 6) | (p[1] & 0x3Fu);
    return 2;
  }
  if ((p[2] & 0xC0) != 0x80) return 0;
  if (length == 3) {
    ch = (char32_t{p[0] & 0x0Fu} << 12) | (char32_t{p[1] & 0x3Fu} << 6) | (p[2] & 0x3Fu);
    return 3;
  }
  if ((p[3] & 0xC0) != 0x80) return 0;
  ch = (char32_t{p[0] & 0x07u} << 18) | (char32_t{p[1] & 0x3Fu} << 12) | (char32_t{p[2] & 0x3Fu} << 6) |
       (p[3] & 0x3Fu);
  return 4;
}
