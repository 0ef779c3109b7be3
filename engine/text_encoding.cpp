#include "engine/text_encoding.h"

#include <cstring>

#include "engine/utf8.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

bool HoldsNul(const char* data, size_t size) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(data);
  const unsigned char* const end = p + size;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; end - p >= 64; p += 64) {
    const __m128i least =
        _mm_min_epu8(_mm_min_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16))),
                     _mm_min_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32)),
                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48))));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(least, zero)) != 0) return true;
  }
#endif
  return p < end && std::memchr(p, 0, static_cast<size_t>(end - p)) != nullptr;
}

bool HoldsTabByte(const char* data, size_t size) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(data);
  const unsigned char* const end = p + size;
#if defined(__SSE2__)
  const __m128i tab = _mm_set1_epi8('\t');
  for (; end - p >= 64; p += 64) {
    const __m128i any = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), tab),
                     _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)), tab)),
        _mm_or_si128(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32)), tab),
                     _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48)), tab)));
    if (_mm_movemask_epi8(any) != 0) return true;
  }
#endif
  return p < end && std::memchr(p, '\t', static_cast<size_t>(end - p)) != nullptr;
}

namespace {

bool HoldsNulBetween(const unsigned char* p, const unsigned char* end) {
  return p < end && HoldsNul(reinterpret_cast<const char*>(p), static_cast<size_t>(end - p));
}

}  // namespace

TextEncoding EncodingDetector::GetEncoding() const {
  switch (m_State) {
    case State::kUtf8Mark:
      return TextEncoding::kUtf8;
    case State::kUtf16Le:
      return TextEncoding::kUtf16Le;
    case State::kUtf16Be:
      return TextEncoding::kUtf16Be;
    case State::kValid:
      // A text that ends inside a character is not UTF-8.
      return m_bMultiByte && m_nNeed == 0 ? TextEncoding::kUtf8 : TextEncoding::kBytes;
    default:
      return TextEncoding::kBytes;
  }
}

void EncodingDetector::Feed(const char* data, size_t size) {
  const unsigned char* const begin = reinterpret_cast<const unsigned char*>(data);
  const unsigned char* const end = begin + size;
  const unsigned char* p = begin;
  const uint64_t base = m_nFed;
  m_nFed += size;
  while (m_State == State::kHead && p < end) {
    if (*p >= 0x80 && m_nFirstHigh == kNoHighByte) m_nFirstHigh = base + static_cast<uint64_t>(p - begin);
    m_Head[m_nHead++] = *p++;
    DecideMark(false);
  }
  switch (m_State) {
    case State::kValid:
      Validate(p, end, base + static_cast<uint64_t>(p - begin));
      break;
    case State::kInvalid:
    case State::kUtf8Mark:
      if (!m_bNul) m_bNul = HoldsNulBetween(p, end);
      break;
    default:
      break;  // still in the head, or UTF-16 text, which may hold any byte
  }
}

void EncodingDetector::Finish() {
  if (m_bFinished) return;
  m_bFinished = true;
  if (m_State == State::kHead) DecideMark(true);
}

void EncodingDetector::DecideMark(bool atEnd) {
  const unsigned char* h = m_Head;
  // Decided as soon as the bytes so far can no longer begin a mark.
  bool noMark = false;
  if (m_nHead >= 1 && h[0] != 0xFF && h[0] != 0xFE && h[0] != 0xEF) noMark = true;
  else if (m_nHead >= 2 && h[0] == 0xFF && h[1] == 0xFE) m_State = State::kUtf16Le;
  else if (m_nHead >= 2 && h[0] == 0xFE && h[1] == 0xFF) m_State = State::kUtf16Be;
  else if (m_nHead >= 2 && (h[0] != 0xEF || h[1] != 0xBB)) noMark = true;
  else if (m_nHead == 3 && h[2] == 0xBF) m_State = State::kUtf8Mark;
  else if (m_nHead == 3 || atEnd) noMark = true;
  if (noMark) {
    m_State = State::kValid;
    Validate(m_Head, m_Head + m_nHead, 0);
  }
}

#if defined(__SSE2__)
namespace {

// The bits of the bytes of four vectors (64 bytes) whose top bit a compare set.
inline uint64_t Bits64(__m128i m0, __m128i m1, __m128i m2, __m128i m3) {
  return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(m0))) |
         (static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(m1))) << 16) |
         (static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(m2))) << 32) |
         (static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(m3))) << 48);
}

// The bytes from lo to hi (both from 0x80 up), by signed comparisons.
inline __m128i InRange(__m128i v, unsigned char lo, unsigned char hi) {
  return _mm_andnot_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(static_cast<char>(hi))),
                          _mm_cmpgt_epi8(v, _mm_set1_epi8(static_cast<char>(lo - 1))));
}

inline __m128i EqualsEither(__m128i v, unsigned char a, unsigned char b) {
  return _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(a))),
                      _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(b))));
}

}  // namespace
#endif

void EncodingDetector::Validate(const unsigned char* p, const unsigned char* end, uint64_t offset) {
  const unsigned char* const begin = p;
  // Locals in the loops: the members would be reloaded after every store.
  int need = m_nNeed;
  unsigned char low = m_nLow, high = m_nHigh;
  bool nul = m_bNul, multiByte = m_bMultiByte;
  uint64_t firstHigh = m_nFirstHigh;
  // One byte as the rule has it; false at a byte that makes the text not UTF-8.
  auto step = [&](unsigned char byte) {
    if (need == 0) {
      if (byte < 0x80) {
        nul |= byte == 0;
        return true;
      }
      if (firstHigh == kNoHighByte) firstHigh = offset + static_cast<uint64_t>(p - begin);
      const int length = Utf8Length(byte);
      if (length == 0) return false;
      need = length - 1;
      Utf8SecondByteRange(byte, low, high);
      return true;
    }
    if (byte < low || byte > high) return false;
    low = 0x80;
    high = 0xBF;
    if (--need == 0) multiByte = true;
    return true;
  };
  // The character that the last piece left open.
  while (need != 0 && p < end && step(*p)) ++p;
#if defined(__SSE2__)
  // Sixty-four bytes at a time while a character's bytes, up to three
  // beyond the block, can be read. Masks of the continuation bytes (80 to
  // BF) and of the lead bytes by length say where continuation bytes must
  // be; a block is valid when they are exactly there, no byte starts no
  // character (C0, C1, F5 to FF), and the four leads that narrow their
  // second byte (E0, ED, F0, F4) have it in range. A block that is not
  // valid, or not quite, is left to the byte loop below, which finds the
  // byte that is wrong.
  uint64_t due = 0;  // continuation bytes at the start of the block, for a character begun before it
  if (need == 0) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i c0 = _mm_set1_epi8(static_cast<char>(0xC0));
    while (end - p >= 64 + 3) {
      const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
      const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
      const __m128i v3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48));
      const __m128i least = _mm_min_epu8(_mm_min_epu8(v0, v1), _mm_min_epu8(v2, v3));
      const __m128i any = _mm_or_si128(_mm_or_si128(v0, v1), _mm_or_si128(v2, v3));
      const bool blockNul = _mm_movemask_epi8(_mm_cmpeq_epi8(least, zero)) != 0;
      if (_mm_movemask_epi8(any) == 0) {
        if (due != 0) break;
        nul |= blockNul;
        p += 64;
        continue;
      }
      const uint64_t highs = Bits64(v0, v1, v2, v3);
      const uint64_t continuations =
          Bits64(_mm_cmplt_epi8(v0, c0), _mm_cmplt_epi8(v1, c0), _mm_cmplt_epi8(v2, c0), _mm_cmplt_epi8(v3, c0));
      const uint64_t leads2 = Bits64(InRange(v0, 0xC2, 0xDF), InRange(v1, 0xC2, 0xDF), InRange(v2, 0xC2, 0xDF),
                                     InRange(v3, 0xC2, 0xDF));
      const uint64_t leads3 = Bits64(InRange(v0, 0xE0, 0xEF), InRange(v1, 0xE0, 0xEF), InRange(v2, 0xE0, 0xEF),
                                     InRange(v3, 0xE0, 0xEF));
      const uint64_t leads4 = Bits64(InRange(v0, 0xF0, 0xF4), InRange(v1, 0xF0, 0xF4), InRange(v2, 0xF0, 0xF4),
                                     InRange(v3, 0xF0, 0xF4));
      const uint64_t expected =
          due | (leads2 << 1) | (leads3 << 1) | (leads3 << 2) | (leads4 << 1) | (leads4 << 2) | (leads4 << 3);
      if ((highs & ~(continuations | leads2 | leads3 | leads4)) != 0 || continuations != expected) break;
      if ((leads3 | leads4) != 0) {
        uint64_t narrow = Bits64(EqualsEither(v0, 0xE0, 0xED), EqualsEither(v1, 0xE0, 0xED),
                                 EqualsEither(v2, 0xE0, 0xED), EqualsEither(v3, 0xE0, 0xED));
        if (leads4 != 0)
          narrow |= Bits64(EqualsEither(v0, 0xF0, 0xF4), EqualsEither(v1, 0xF0, 0xF4),
                           EqualsEither(v2, 0xF0, 0xF4), EqualsEither(v3, 0xF0, 0xF4));
        bool inRange = true;
        for (; narrow != 0; narrow &= narrow - 1) {
          const unsigned char* q = p + __builtin_ctzll(narrow);
          unsigned char second_low, second_high;
          Utf8SecondByteRange(q[0], second_low, second_high);
          inRange &= q[1] >= second_low && q[1] <= second_high;
        }
        if (!inRange) break;
      }
      if (firstHigh == kNoHighByte) firstHigh = offset + static_cast<uint64_t>(p - begin) + __builtin_ctzll(highs);
      nul |= blockNul;
      multiByte = true;
      // The continuation bytes beyond the block, as its first bits.
      due = (leads2 >> 63) | (leads3 >> 62) | (leads3 >> 63) | (leads4 >> 61) | (leads4 >> 62) | (leads4 >> 63);
      p += 64;
    }
  }
  // The byte loop goes on inside a character that the last block began.
  if (due != 0) {
    need = static_cast<int>((due & 1) + ((due >> 1) & 1) + ((due >> 2) & 1));
    low = 0x80;
    high = 0xBF;
  }
  const __m128i zero = _mm_setzero_si128();
#endif
  while (p < end) {
#if defined(__SSE2__)
    // ASCII without NULs, 16 bytes at a time.
    if (need == 0) {
      while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if ((_mm_movemask_epi8(v) | _mm_movemask_epi8(_mm_cmpeq_epi8(v, zero))) != 0) break;
        p += 16;
      }
      if (p == end) break;
    }
#endif
    if (!step(*p)) break;
    ++p;
  }
  m_nNeed = need;
  m_nLow = low;
  m_nHigh = high;
  m_bNul = nul;
  m_bMultiByte = multiByte;
  m_nFirstHigh = firstHigh;
  if (p == end) return;
  // Not UTF-8: the byte rule, whatever follows; only a NUL still matters.
  m_State = State::kInvalid;
  if (!m_bNul) m_bNul = HoldsNulBetween(p, end);
}
