#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "framework/message_box.h"

// Takes the place of the message-box routine while it lives: records every
// box's text and style and answers with the scripted button instead of
// showing a window.
class CMessageBoxRecorder : public CMessageBoxRoutine {
 public:
  struct Box {
    std::string text;
    UINT type;
    std::string caption;  // boxes with their own caption and owner only
    HWND owner = nullptr;
  };

  explicit CMessageBoxRecorder(int answer = IDOK) : m_nAnswer(answer), m_pPrevious(SetMessageBoxRoutine(this)) {}
  ~CMessageBoxRecorder() override { SetMessageBoxRoutine(m_pPrevious); }
  CMessageBoxRecorder(const CMessageBoxRecorder&) = delete;
  CMessageBoxRecorder& operator=(const CMessageBoxRecorder&) = delete;

  int DoMessageBox(const char* text, UINT type) override {
    m_Boxes.push_back({text, type, std::string(), nullptr});
    return m_nAnswer;
  }
  int DoOwnedMessageBox(HWND owner, const char* text, const char* caption, UINT type) override {
    m_Boxes.push_back({text, type, caption, owner});
    return m_nAnswer;
  }

  int m_nAnswer;
  std::vector<Box> m_Boxes;

 private:
  CMessageBoxRoutine* m_pPrevious;
};
