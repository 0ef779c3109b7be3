#include "app/drop_target.h"

#include <utility>

namespace {

FORMATETC FilesFormat() { return {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

}  // namespace

CFileDropTarget::CFileDropTarget(std::function<void(HDROP, POINT)> take, std::function<bool()> accepting)
    : m_Take(std::move(take)), m_Accepting(std::move(accepting)) {}

bool CFileDropTarget::Register(HWND window) {
  if (FAILED(RegisterDragDrop(window, this))) return false;
  m_hWnd = window;
  return true;
}

void CFileDropTarget::Revoke() {
  if (m_hWnd == nullptr) return;
  RevokeDragDrop(m_hWnd);
  m_hWnd = nullptr;
}

STDMETHODIMP CFileDropTarget::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDropTarget) {
    *object = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CFileDropTarget::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_nReferences)); }

// The object belongs to its owner, which revokes the registration before it
// goes: the count never deletes it.
STDMETHODIMP_(ULONG) CFileDropTarget::Release() { return static_cast<ULONG>(InterlockedDecrement(&m_nReferences)); }

DWORD CFileDropTarget::EffectNow() const { return m_bFiles && m_Accepting() ? DROPEFFECT_COPY : DROPEFFECT_NONE; }

STDMETHODIMP CFileDropTarget::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) {
  FORMATETC format = FilesFormat();
  m_bFiles = data != nullptr && data->QueryGetData(&format) == S_OK;
  *effect = EffectNow();
  return S_OK;
}

STDMETHODIMP CFileDropTarget::DragOver(DWORD, POINTL, DWORD* effect) {
  *effect = EffectNow();
  return S_OK;
}

STDMETHODIMP CFileDropTarget::DragLeave() {
  m_bFiles = false;
  return S_OK;
}

STDMETHODIMP CFileDropTarget::Drop(IDataObject* data, DWORD, POINTL point, DWORD* effect) {
  *effect = DROPEFFECT_NONE;
  m_bFiles = false;
  if (data == nullptr || !m_Accepting()) return S_OK;
  FORMATETC format = FilesFormat();
  STGMEDIUM medium = {};
  if (FAILED(data->GetData(&format, &medium))) return S_OK;
  if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal != nullptr) {
    *effect = DROPEFFECT_COPY;
    m_Take(static_cast<HDROP>(medium.hGlobal), POINT{point.x, point.y});
  }
  ReleaseStgMedium(&medium);
  return S_OK;
}
