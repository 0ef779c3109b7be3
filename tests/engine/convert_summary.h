#pragma once
// The outcome and count of a file conversion as one text, for assertions:
// "converted: 2 tabs converted", "copy failed: 1 tabs converted",
// "not text", "failed: <description>", "copy kept: 1 tabs converted in
// <names>", "link", "several names".
#include <string>

#include "engine/convert.h"

inline std::string Summary(const ConvertResult& result) {
  switch (result.m_Outcome) {
    case ConvertOutcome::kConverted: return "converted: " + TabsConvertedText(result.m_nTabCount);
    case ConvertOutcome::kCopyFailed: return "copy failed: " + TabsConvertedText(result.m_nTabCount);
    case ConvertOutcome::kNotText: return "not text";
    case ConvertOutcome::kFailed: return "failed: " + result.m_strError;
    case ConvertOutcome::kCopyKept:
      return "copy kept: " + TabsConvertedText(result.m_nTabCount) + " in " + result.m_strKept;
    case ConvertOutcome::kLink: return "link";
    case ConvertOutcome::kSeveralNames: return "several names";
  }
  return "?";
}
