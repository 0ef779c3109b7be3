#pragma once
#include <unknwn.h>

// Owns one reference to a COM interface and releases it exactly once.
template <class T>
class CComPtr {
 public:
  CComPtr() = default;
  ~CComPtr() { Release(); }
  CComPtr(const CComPtr&) = delete;
  CComPtr& operator=(const CComPtr&) = delete;
  CComPtr(CComPtr&& other) noexcept : m_p(other.m_p) { other.m_p = nullptr; }
  CComPtr& operator=(CComPtr&& other) noexcept {
    if (this != &other) {
      Release();
      m_p = other.m_p;
      other.m_p = nullptr;
    }
    return *this;
  }

  T* operator->() const { return m_p; }
  T* Get() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }

  // For the out parameter of CoCreateInstance and QueryInterface; releases
  // the reference held before.
  void** ReceiveVoid() {
    Release();
    return reinterpret_cast<void**>(&m_p);
  }
  void Release() {
    if (m_p != nullptr) m_p->Release();
    m_p = nullptr;
  }

 private:
  T* m_p = nullptr;
};
