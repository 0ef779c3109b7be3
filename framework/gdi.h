#pragma once
#include <windows.h>

// GDI objects owned by the window object that made them, and the paint
// context of one WM_PAINT.

// Owns one font; deletes it when replaced or destroyed.
class CFont {
 public:
  CFont() = default;
  CFont(const CFont&) = delete;
  CFont& operator=(const CFont&) = delete;
  CFont(CFont&& other) noexcept : m_hFont(other.m_hFont) { other.m_hFont = nullptr; }
  CFont& operator=(CFont&& other) noexcept {
    if (this != &other) {
      DeleteObject();
      m_hFont = other.m_hFont;
      other.m_hFont = nullptr;
    }
    return *this;
  }
  ~CFont() { DeleteObject(); }

  // CreateFontA with these values; false (and no font) when it fails.
  bool CreateFont(int height, int width, int escapement, int orientation, int weight,
                  BYTE italic, BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outPrecision,
                  BYTE clipPrecision, BYTE quality, BYTE pitchAndFamily, const char* faceName) {
    DeleteObject();
    m_hFont = ::CreateFontA(height, width, escapement, orientation, weight, italic, underline,
                            strikeOut, charSet, outPrecision, clipPrecision, quality,
                            pitchAndFamily, faceName);
    return m_hFont != nullptr;
  }
  bool CreateFontIndirect(const LOGFONTA& font) {
    DeleteObject();
    m_hFont = ::CreateFontIndirectA(&font);
    return m_hFont != nullptr;
  }
  void DeleteObject() {
    if (m_hFont != nullptr) ::DeleteObject(m_hFont);
    m_hFont = nullptr;
  }
  operator HFONT() const { return m_hFont; }

 private:
  HFONT m_hFont = nullptr;
};

// Owns one solid brush.
class CBrush {
 public:
  CBrush() = default;
  explicit CBrush(COLORREF color) : m_hBrush(CreateSolidBrush(color)) {}
  CBrush(const CBrush&) = delete;
  CBrush& operator=(const CBrush&) = delete;
  CBrush(CBrush&& other) noexcept : m_hBrush(other.m_hBrush) { other.m_hBrush = nullptr; }
  CBrush& operator=(CBrush&& other) noexcept {
    if (this != &other) {
      DeleteObject();
      m_hBrush = other.m_hBrush;
      other.m_hBrush = nullptr;
    }
    return *this;
  }
  ~CBrush() { DeleteObject(); }
  operator HBRUSH() const { return m_hBrush; }

 private:
  void DeleteObject() {
    if (m_hBrush != nullptr) ::DeleteObject(m_hBrush);
    m_hBrush = nullptr;
  }

  HBRUSH m_hBrush = nullptr;
};

// BeginPaint/EndPaint for one WM_PAINT. Not movable: the paint belongs to
// the handler's scope, and EndPaint must come before the handler returns.
class CPaintDC {
 public:
  explicit CPaintDC(HWND hwnd) : m_hWnd(hwnd), m_hDC(BeginPaint(hwnd, &m_ps)) {}
  CPaintDC(const CPaintDC&) = delete;
  CPaintDC& operator=(const CPaintDC&) = delete;
  ~CPaintDC() { EndPaint(m_hWnd, &m_ps); }
  operator HDC() const { return m_hDC; }
  const PAINTSTRUCT& GetPaintStruct() const { return m_ps; }

 private:
  HWND m_hWnd;
  PAINTSTRUCT m_ps = {};
  HDC m_hDC;
};

// Selects a GDI object into a DC for one scope and puts the old one back.
class CSelectObject {
 public:
  CSelectObject(HDC dc, HGDIOBJ object) : m_hDC(dc), m_hOld(SelectObject(dc, object)) {}
  CSelectObject(const CSelectObject&) = delete;
  CSelectObject& operator=(const CSelectObject&) = delete;
  CSelectObject(CSelectObject&& other) noexcept : m_hDC(other.m_hDC), m_hOld(other.m_hOld) {
    other.m_hOld = nullptr;
  }
  CSelectObject& operator=(CSelectObject&& other) noexcept {
    if (this != &other) {
      Restore();
      m_hDC = other.m_hDC;
      m_hOld = other.m_hOld;
      other.m_hOld = nullptr;
    }
    return *this;
  }
  ~CSelectObject() { Restore(); }
  // Puts the old object back now.
  void Restore() {
    if (m_hOld != nullptr) SelectObject(m_hDC, m_hOld);
    m_hOld = nullptr;
  }

 private:
  HDC m_hDC;
  HGDIOBJ m_hOld;
};
