#include "app/win32/accessible.h"

// Last: <windows.h>, with the macros that clash with our names undone.
#include "app/win32/win32.h"
#include <oleacc.h>

namespace {
// An IAccessible over the system's proxy of the window's client area: it
// answers what the facts say and hands every other question to the proxy.
class FactsAccessible : public IAccessible {
 public:
  FactsAccessible(IAccessible* proxy, AccessibleFacts facts) : m_proxy(proxy), m_facts(std::move(facts)) {}
  virtual ~FactsAccessible() { m_proxy->Release(); }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    // __uuidof: mingw's import library carries no IID_IAccessible of its own.
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, __uuidof(IAccessible))) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&m_refs);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IDispatch: the proxy's.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return m_proxy->GetTypeInfoCount(n); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID l, ITypeInfo** t) override {
    return m_proxy->GetTypeInfo(i, l, t);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID r, LPOLESTR* n, UINT c, LCID l, DISPID* d) override {
    return m_proxy->GetIDsOfNames(r, n, c, l, d);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID d, REFIID r, LCID l, WORD f, DISPPARAMS* p, VARIANT* v, EXCEPINFO* e,
                                   UINT* a) override {
    return m_proxy->Invoke(d, r, l, f, p, v, e, a);
  }

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** p) override { return m_proxy->get_accParent(p); }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* n) override {
    if (!m_facts.list) return m_proxy->get_accChildCount(n);
    if (!n) return E_POINTER;
    *n = m_facts.rows();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** p) override {
    if (!m_facts.list) return m_proxy->get_accChild(child, p);
    if (!p) return E_POINTER;
    *p = nullptr;
    return Row(child) >= 0 ? S_FALSE : E_INVALIDARG;  // a row is a simple element of the list
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (!name) return E_POINTER;
    if (IsSelf(child) && !m_facts.name.empty()) return Text(m_facts.name, name);
    if (m_facts.list && !IsSelf(child)) {
      const long row = Row(child);
      return row >= 0 ? Text(m_facts.rowName(row), name) : E_INVALIDARG;
    }
    return m_proxy->get_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* v) override {
    if (m_facts.list && !IsSelf(child)) return Row(child) >= 0 ? S_FALSE : E_INVALIDARG;
    return m_proxy->get_accValue(child, v);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* d) override {
    if (m_facts.list && !IsSelf(child)) return S_FALSE;
    return m_proxy->get_accDescription(child, d);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (!m_facts.list) return m_proxy->get_accRole(child, role);
    if (!role) return E_POINTER;
    if (!IsSelf(child) && Row(child) < 0) return E_INVALIDARG;
    role->vt = VT_I4;
    role->lVal = IsSelf(child) ? ROLE_SYSTEM_LIST : ROLE_SYSTEM_LISTITEM;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    if (!m_facts.list || IsSelf(child)) return m_proxy->get_accState(child, state);
    if (!state) return E_POINTER;
    const long row = Row(child);
    if (row < 0) return E_INVALIDARG;
    long x, y, w, h;
    state->vt = VT_I4;
    state->lVal = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE |
                  (m_facts.rowSelected(row) ? STATE_SYSTEM_SELECTED : 0) |
                  (m_facts.rowLocation(row, &x, &y, &w, &h) ? 0 : STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT c, BSTR* h) override {
    return m_facts.list && !IsSelf(c) ? S_FALSE : m_proxy->get_accHelp(c, h);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* f, VARIANT c, long* t) override {
    return m_facts.list && !IsSelf(c) ? S_FALSE : m_proxy->get_accHelpTopic(f, c, t);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT c, BSTR* k) override {
    return m_facts.list && !IsSelf(c) ? S_FALSE : m_proxy->get_accKeyboardShortcut(c, k);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* f) override { return m_proxy->get_accFocus(f); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* s) override { return m_proxy->get_accSelection(s); }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT c, BSTR* a) override {
    return m_facts.list && !IsSelf(c) ? S_FALSE : m_proxy->get_accDefaultAction(c, a);
  }
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT c) override { return m_proxy->accSelect(flags, c); }
  HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* w, long* h, VARIANT child) override {
    if (!m_facts.list || IsSelf(child)) return m_proxy->accLocation(x, y, w, h, child);
    if (!x || !y || !w || !h) return E_POINTER;
    const long row = Row(child);
    if (row < 0) return E_INVALIDARG;
    return m_facts.rowLocation(row, x, y, w, h) ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long dir, VARIANT start, VARIANT* end) override {
    if (!m_facts.list || IsSelf(start)) return m_proxy->accNavigate(dir, start, end);
    if (!end) return E_POINTER;
    const long row = Row(start);
    long next = -1;
    if (dir == NAVDIR_NEXT || dir == NAVDIR_DOWN) next = row + 1;
    else if (dir == NAVDIR_PREVIOUS || dir == NAVDIR_UP) next = row - 1;
    if (row < 0 || next < 0 || next >= m_facts.rows()) {
      end->vt = VT_EMPTY;
      return S_FALSE;
    }
    end->vt = VT_I4;
    end->lVal = next + 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* hit) override {
    if (m_facts.list && hit) {
      for (long row = 0, rows = m_facts.rows(); row < rows; ++row) {
        long rx, ry, rw, rh;
        if (!m_facts.rowLocation(row, &rx, &ry, &rw, &rh)) continue;
        if (x >= rx && x < rx + rw && y >= ry && y < ry + rh) {
          hit->vt = VT_I4;
          hit->lVal = row + 1;
          return S_OK;
        }
      }
    }
    return m_proxy->accHitTest(x, y, hit);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT c) override { return m_proxy->accDoDefaultAction(c); }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT c, BSTR n) override { return m_proxy->put_accName(c, n); }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT c, BSTR v) override { return m_proxy->put_accValue(c, v); }

 private:
  static bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }
  // The row a child id names (1 is the first row), -1 when it names none.
  long Row(const VARIANT& child) const {
    if (child.vt != VT_I4 || child.lVal < 1 || child.lVal > m_facts.rows()) return -1;
    return child.lVal - 1;
  }
  static HRESULT Text(const std::wstring& text, BSTR* out) {
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
  }

  LONG m_refs = 1;
  IAccessible* m_proxy;
  AccessibleFacts m_facts;
};

// A control that answers with its own name: its window procedure is ours,
// the control's own one and the name kept where the control's window keeps
// them (GWLP_USERDATA, which the standard controls leave to the program).
// Not comctl32's SetWindowSubclass: under Wine that asks the server for a
// window property at every message, and a press updates a hundred controls.
struct Named {
  WNDPROC own;
  std::wstring name;
};

LRESULT CALLBACK NamedProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* named = reinterpret_cast<Named*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!named) return DefWindowProcW(hwnd, msg, wParam, lParam);
  if (msg == WM_GETOBJECT) {
    AccessibleFacts facts;
    facts.name = named->name;
    if (const LRESULT answer = AnswerGetObject(hwnd, wParam, lParam, facts)) return answer;
  }
  const WNDPROC own = named->own;
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    delete named;
  }
  return CallWindowProcW(own, hwnd, msg, wParam, lParam);
}
}  // namespace

std::intptr_t AnswerGetObject(void* hwnd, std::uintptr_t wParam, std::intptr_t lParam, const AccessibleFacts& facts) {
  if (static_cast<LONG>(lParam) != static_cast<LONG>(OBJID_CLIENT)) return 0;
  IAccessible* proxy = nullptr;
  if (FAILED(CreateStdAccessibleObject(static_cast<HWND>(hwnd), OBJID_CLIENT, __uuidof(IAccessible),
                                       reinterpret_cast<void**>(&proxy))) ||
      !proxy)
    return 0;
  auto* object = new FactsAccessible(proxy, facts);
  const LRESULT answer = LresultFromObject(__uuidof(IAccessible), wParam, object);
  object->Release();  // the answer holds its own reference
  return answer > 0 ? answer : 0;
}

void NameForScreenReaders(void* hwnd, const std::wstring& name) {
  HWND h = static_cast<HWND>(hwnd);
  if (!h || name.empty() || GetWindowLongPtrW(h, GWLP_USERDATA)) return;  // the control's own use of it wins
  auto* named = new Named{reinterpret_cast<WNDPROC>(GetWindowLongPtrW(h, GWLP_WNDPROC)), name};
  SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(named));
  SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(NamedProc));
}
