#pragma once
#include <windows.h>
#include <shellapi.h>

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/drop_rules.h"
#include "engine/file_names.h"
#include "engine/tab_stops.h"
#include "framework/controls.h"
#include "framework/dialog.h"

class CFileDialog;
class CWinApp;

// The list that a text of the tab box stands for (one number: its leading
// integer, at least 1; or a list of stop columns, see ReadTabBoxText), every
// tab converted; the default for a refused list. The text is not stored.
TabStopList TabStopsFromText(const std::string& text);
// What the user is told when the tab box holds a list that cannot be used.
std::string RefusedTabListText(const std::string& text, const std::string& problem);
// The "Leading tabs only" check box's state in "Settings"/"LeadingTabsOnly".
bool ReadLeadingOnlySetting();
void RememberLeadingOnly(bool leadingOnly);
// What the user is told when a command ends in `failure`.
std::string CommandFailureText(const std::exception_ptr& failure);
// Stores a text of the tab box, as typed, in "Settings"/"Tabs".
void RememberTabText(const std::string& text);

// Makes a block for the clipboard of `size` bytes; null when there is no
// memory for it.
using ClipboardBlockAllocator = HGLOBAL (*)(SIZE_T size);
// The program's own: GlobalAlloc with GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE.
HGLOBAL AllocateClipboardBlock(SIZE_T size);

// The main window (template 102): the tab box, the three conversion commands,
// the three file-name boxes with their histories, Browse, Exit, About and Help.
// Enter and Esc end it (IDOK, IDCANCEL), and with it the program.
class CMultipleRun;

class CFileDropTarget;

class CMainDlg : public CDialog {
 public:
  // `app` takes the commands the window leaves (Help), gives the About box
  // its owner and closes the help when the window goes; passed on to the
  // dialogs the window opens. Without one, none of that happens.
  explicit CMainDlg(CWinApp* app = nullptr);
  ~CMainDlg() override;

  CSpinButtonCtrl m_spin;
  std::string m_strSource;  // a name from the command line, put over the source box
  HICON m_hIcon;

  // A fresh list from the tab box's text; stores the text as typed ("Tabs").
  // The same as ReadTabText, then TabStopsFromText and RememberTabText, which
  // a command may also call apart (the clipboard command reads the box
  // before it opens the clipboard and stores the text once it holds the text).
  // Leading tabs only as the check box says.
  TabStopList BuildTabStopList();
  std::string ReadTabText() const;
  // False, after a box that names the text and with the focus back in the
  // tab box, when the tab box holds a list that cannot be used; every
  // command asks this first and converts nothing then.
  bool AcceptTabText();
  // The check box, stored as it is now ("LeadingTabsOnly").
  bool ReadLeadingOnly() const;
  // Enables the clipboard button when the clipboard holds text.
  void EnableClipboardButton();
  // Lets the user pick a file for box `boxId` (Open or Save As dialog).
  void BrowseForFile(int boxId, bool openDialog);
  // Makes the memory block the converted clipboard text goes into; tests
  // put a failing one here.
  ClipboardBlockAllocator m_pfnAllocateClipboardBlock = AllocateClipboardBlock;
  // Looks a typed file name up for Convert File; tests put one here that
  // misses what the file system opens.
  FileLookup (*m_pfnLookUpFile)(const std::string& name, std::string* fullPath) = LookUpFile;

  // The conversion commands.
  void ConvertClipboard();
  void ConvertMultipleFiles();
  void OnConvertFile();

  const MessageMap* GetMessageMap() const override { return &kMessageMap; }
  static const MessageMap kMessageMap;
  static const MessageMapEntry kMessageEntries[];

 protected:
  void DoDataExchange(CDataExchange& dx) override;
  BOOL OnInitDialog() override;
  // A command that ends in an exception (memory exhausted in a huge run) is
  // reported in a box and the window stays: every command leaves the files
  // and the clipboard whole when it stops part-way.
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  // Runs the file dialog; a seam for tests. True when the user chose a name.
  virtual bool RunFileDialog(CFileDialog& dialog);

  // Whole folders (app/main_dlg_folders.cpp): the subfolders check box read
  // from the settings and files accepted from Explorer, at start-up.
  void InitWholeFolders();
  // Takes the OLE drop target back, before the window goes.
  void EndWholeFolders();
  // While a multiple-file run pumps messages: a command or a drop that
  // arrives is not started (true, with the answer in *result); closing the
  // window cancels the run instead, which then reports as usual.
  bool KeepOutOfRun(UINT msg, WPARAM wParam, LRESULT* result);
  CMultipleRun* m_pRun = nullptr;  // the running multiple-file run, if any

 private:
  LRESULT OnPaint(WPARAM, LPARAM);
  LRESULT OnQueryDragIcon(WPARAM, LPARAM);
  LRESULT OnDestroy(WPARAM, LPARAM);
  LRESULT OnActivate(WPARAM wParam, LPARAM);
  void OnBrowseSource();
  void OnBrowseDestination();
  void OnAbout();
  void OnLeadingOnly();
  void OnSubfoldersClicked();
  LRESULT OnDropFiles(WPARAM wParam, LPARAM);
  // A drop through OLE: its files and where they were let go.
  void TakeOleDrop(HDROP drop, POINT screenPoint);
  // Fills the box the drop rules choose, or says why not.
  void TakeDrop(const std::vector<DroppedItem>& items, DropTarget target);
  std::unique_ptr<CFileDropTarget> m_pDropTarget;  // none where OLE would not take it

  CWinApp* m_pApp;
};
