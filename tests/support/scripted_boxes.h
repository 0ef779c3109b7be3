#pragma once
#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "framework/message_box.h"

// Takes the place of the message-box routine while it lives: records every
// box (text, style, caption, owner, as the caller chose them) and answers it
// from a script instead of showing a window.
//
//   CScriptedBoxes boxes;                   IDOK to every box
//   CScriptedBoxes boxes(IDNO);             IDNO to every box
//   CScriptedBoxes boxes({IDYES, IDNO});    in order, the last one repeating
//   CScriptedBoxes boxes({IDYES}, IDOK);    in order, then IDOK to the rest
//   CScriptedBoxes boxes({step, ...}, IDCANCEL);
//                                           each box runs the next step and
//                                           gets what it returns
class CScriptedBoxes : public CMessageBoxRoutine {
 public:
  struct Box {
    std::string text;
    UINT type;
    std::string caption;
    HWND owner;
  };
  using Step = std::function<int()>;

  CScriptedBoxes() : CScriptedBoxes(IDOK) {}
  explicit CScriptedBoxes(int answer);
  // An empty list answers IDOK.
  CScriptedBoxes(std::initializer_list<int> answers);
  CScriptedBoxes(std::initializer_list<int> answers, int then);
  CScriptedBoxes(std::initializer_list<Step> steps, int then);
  ~CScriptedBoxes() override;
  CScriptedBoxes(const CScriptedBoxes&) = delete;
  CScriptedBoxes& operator=(const CScriptedBoxes&) = delete;

  // Every further box gets `answer`, whatever was left of the script.
  void AnswerFromNowOn(int answer);
  // The boxes' texts in the order they came.
  std::vector<std::string> Texts() const;

  int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) override;

  std::vector<Box> m_Boxes;

 private:
  CScriptedBoxes(std::vector<Step> steps, int then);
  int Answer();

  std::vector<Step> m_Steps;
  size_t m_nNext = 0;
  int m_nThen;
  CMessageBoxRoutine* m_pPrevious;
};
