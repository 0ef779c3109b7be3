#include "engine/text_encoding.h"

#include <cstring>

#include "engine/utf8.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

bool HoldsNul(const unsigned char* p, const unsigned char* end) {
  return p < end && std::memchr(p, 0, static_cast<size_t>(end - p)) != nullptr;
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
      if (!m_bNul) m_bNul = HoldsNul(p, end);
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

void EncodingDetector::Validate(const unsigned char* p, const unsigned char* end, uint64_t offset) {
  const unsigned char* const begin = p;
  while (p < end) {
    if (m_nNeed == 0) {
#if defined(__SSE2__)
      // ASCII without NULs, 16 bytes at a time.
      const __m128i zero = _mm_setzero_si128();
      while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if ((_mm_movemask_epi8(v) | _mm_movemask_epi8(_mm_cmpeq_epi8(v, zero))) != 0) break;
        p += 16;
      }
      if (p == end) break;
#endif
      const unsigned char lead = *p;
      if (lead < 0x80) {
        if (lead == 0) m_bNul = true;
        ++p;
        continue;
      }
      if (m_nFirstHigh == kNoHighByte) m_nFirstHigh = offset + static_cast<uint64_t>(p - begin);
      const int length = Utf8Length(lead);
      if (length == 0) break;
      m_nNeed = length - 1;
      Utf8SecondByteRange(lead, m_nLow, m_nHigh);
      ++p;
      continue;
    }
    if (*p < m_nLow || *p > m_nHigh) break;
    m_nLow = 0x80;
    m_nHigh = 0xBF;
    if (--m_nNeed == 0) m_bMultiByte = true;
    ++p;
  }
  if (p == end) return;
  // Not UTF-8: the byte rule, whatever follows; only a NUL still matters.
  m_State = State::kInvalid;
  if (!m_bNul) m_bNul = HoldsNul(p, end);
}
