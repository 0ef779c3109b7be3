#pragma once
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <functional>

// The main window as an OLE drop target for files: Explorer and other
// programs drag files with OLE, and a window that has registered a target
// gets them through it (the system also turns such a drag into WM_DROPFILES
// for a window that only accepts files, but not every system does). Only
// CF_HDROP is taken, and only while `accepting` says so.
class CFileDropTarget : public IDropTarget {
 public:
  // `take` gets the drop's files and where they were let go (screen
  // coordinates); `accepting` says whether a drop may come now.
  CFileDropTarget(std::function<void(HDROP, POINT)> take, std::function<bool()> accepting);
  CFileDropTarget(const CFileDropTarget&) = delete;
  CFileDropTarget& operator=(const CFileDropTarget&) = delete;
  virtual ~CFileDropTarget() = default;

  // Registers the target for `window` (OLE initialised in this thread);
  // false when it cannot be.
  bool Register(HWND window);
  // Takes the registration back (before the window goes).
  void Revoke();

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;
  STDMETHODIMP DragOver(DWORD keys, POINTL point, DWORD* effect) override;
  STDMETHODIMP DragLeave() override;
  STDMETHODIMP Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override;

 private:
  // DROPEFFECT_COPY for files while drops are taken, else none.
  DWORD EffectNow() const;

  std::function<void(HDROP, POINT)> m_Take;
  std::function<bool()> m_Accepting;
  HWND m_hWnd = nullptr;
  bool m_bFiles = false;  // the drag in progress carries files
  LONG m_nReferences = 1;  // the owner's; OLE adds its own while registered
};
