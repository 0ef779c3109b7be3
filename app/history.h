#pragma once
#include "framework/combo_box.h"

// File-name histories: the recent texts of a drop-down combo box, kept in the
// "Settings" section as <name>Num and <name>1, <name>2... (entry 1 the most
// recent), at most "MaxFiles" of them (10 unless set by hand). The box may be
// a bound member or a wrapper made on the spot: CComboBox(GetDlgItem(1005)).
constexpr const char kSourceHistory[] = "Source";                // box 1005
constexpr const char kDestinationHistory[] = "Destination";      // box 1006
constexpr const char kMultipleFilesHistory[] = "MultipleFiles";  // box 1015

// Fills the box's list from the store, entry 1 on top; with setText also puts
// entry 1 into the box's edit field.
void LoadHistory(const CComboBox& box, const char* name, bool setText);
// Makes the box's text entry 1 (dropping entries equal to it but for the case
// of A-Z), stores the history and reloads the box; the box keeps the text.
void AddToHistory(const CComboBox& box, const char* name);
// Drops the box's text from the history, stores it, reloads the list and puts
// the text back into the edit field so the user can correct it.
void RemoveFromHistory(const CComboBox& box, const char* name);
