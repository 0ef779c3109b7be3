#pragma once
// How a file's text is read for its columns: by bytes (ASCII and ANSI text),
// or by characters of UTF-8 or UTF-16, decided from the file's start and its
// content.
#include <cstddef>
#include <cstdint>

enum class TextEncoding {
  kBytes,    // the byte rule: no mark, and not valid UTF-8 with a multi-byte character
  kUtf8,     // a UTF-8 mark (EF BB BF), or valid UTF-8 with a multi-byte character
  kUtf16Le,  // the mark FF FE
  kUtf16Be,  // the mark FE FF
};

// Whether the bytes hold a 0 byte (a binary file's mark), many bytes at a
// time: the system's memchr under Wine goes a byte at a time.
bool HoldsNul(const char* data, size_t size);
// Whether the bytes hold a byte 09: a tab, or a part of a UTF-16 character.
bool HoldsTabByte(const char* data, size_t size);

// Decides the encoding of a text fed to it from its first byte on, in pieces
// that may split it anywhere, in memory that does not depend on its length.
// Without a mark the whole text has to be seen: one invalid sequence, even
// the last bytes, or a text that ends inside a character, means the byte rule.
class EncodingDetector {
 public:
  static constexpr uint64_t kNoHighByte = ~uint64_t{0};

  void Feed(const char* data, size_t size);
  // The text ended.
  void Finish();

  // No later byte can change the encoding: a mark was seen, or a sequence
  // that is not UTF-8. The encoding is final then, or after Finish.
  bool IsSettled() const { return m_State != State::kHead && m_State != State::kValid; }
  TextEncoding GetEncoding() const;
  // A byte 0 among the bytes fed so far, outside UTF-16 text (a binary
  // file). Bytes after a UTF-16 mark are not looked at.
  bool HasNul() const { return m_bNul; }
  // Where the first byte from 0x80 up lies among the bytes fed so far;
  // before it the text is ASCII, the same under every rule.
  uint64_t GetFirstHighByte() const { return m_nFirstHigh; }

 private:
  enum class State {
    kHead,     // fewer than 3 bytes seen: a mark may still come
    kValid,    // no mark, valid UTF-8 so far
    kInvalid,  // no mark, a sequence that is not UTF-8: the byte rule
    kUtf8Mark,
    kUtf16Le,
    kUtf16Be,
  };

  void DecideMark(bool atEnd);
  // Goes on checking bytes as UTF-8; offset is where p lies in the text.
  void Validate(const unsigned char* p, const unsigned char* end, uint64_t offset);

  State m_State = State::kHead;
  unsigned char m_Head[3] = {};
  size_t m_nHead = 0;
  uint64_t m_nFed = 0;
  uint64_t m_nFirstHigh = kNoHighByte;
  bool m_bNul = false;
  bool m_bMultiByte = false;  // a whole multi-byte character seen
  bool m_bFinished = false;
  // Within a character: continuation bytes still due, and the range the
  // next one must lie in (narrower than 80..BF after some lead bytes).
  int m_nNeed = 0;
  unsigned char m_nLow = 0x80;
  unsigned char m_nHigh = 0xBF;
};
