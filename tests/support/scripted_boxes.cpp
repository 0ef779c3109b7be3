#include "tests/support/scripted_boxes.h"

#include <utility>

namespace {

std::vector<CScriptedBoxes::Step> Fixed(const int* first, const int* last) {
  std::vector<CScriptedBoxes::Step> steps;
  for (; first != last; ++first) {
    const int answer = *first;
    steps.push_back([answer] { return answer; });
  }
  return steps;
}

}  // namespace

CScriptedBoxes::CScriptedBoxes(int answer) : CScriptedBoxes(std::vector<Step>(), answer) {}

// The last answer is the one that repeats: it needs no step of its own.
CScriptedBoxes::CScriptedBoxes(std::initializer_list<int> answers)
    : CScriptedBoxes(answers.size() == 0 ? std::vector<Step>()
                                         : Fixed(answers.begin(), answers.end() - 1),
                     answers.size() == 0 ? IDOK : *(answers.end() - 1)) {}

CScriptedBoxes::CScriptedBoxes(std::initializer_list<int> answers, int then)
    : CScriptedBoxes(Fixed(answers.begin(), answers.end()), then) {}

CScriptedBoxes::CScriptedBoxes(std::initializer_list<Step> steps, int then)
    : CScriptedBoxes(std::vector<Step>(steps), then) {}

CScriptedBoxes::CScriptedBoxes(std::vector<Step> steps, int then)
    : m_Steps(std::move(steps)), m_nThen(then), m_pPrevious(SetMessageBoxRoutine(this)) {}

CScriptedBoxes::~CScriptedBoxes() { SetMessageBoxRoutine(m_pPrevious); }

void CScriptedBoxes::AnswerFromNowOn(int answer) {
  m_nNext = m_Steps.size();
  m_nThen = answer;
}

std::vector<std::string> CScriptedBoxes::Texts() const {
  std::vector<std::string> texts;
  for (const Box& box : m_Boxes) texts.push_back(box.text);
  return texts;
}

int CScriptedBoxes::ShowMessageBox(HWND owner, const char* text, const char* caption,
                                   UINT type) {
  m_Boxes.push_back({text, type, caption, owner});
  return Answer();
}

int CScriptedBoxes::Answer() {
  if (m_nNext < m_Steps.size()) return m_Steps[m_nNext++]();
  return m_nThen;
}
