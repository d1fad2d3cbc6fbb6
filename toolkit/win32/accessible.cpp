// What a screen reader is told about a list: its caption is its name.
//
// The system's own accessible object of a list is named by the list's current entry under some
// versions and accessibility servers ("44100"), and by the static text before it under others.
// A list with a caption answers WM_GETOBJECT itself with the system's standard object, passed
// through in every answer but the list's own name, which is the caption's text.  oleacc.dll is
// loaded when a screen reader first asks, so the programs import nothing more.
#include "toolkit/win32/win32_internal.h"

#include <windows.h>

#include <commctrl.h>
#include <oleacc.h>

namespace {

constexpr UINT_PTR NAMING_SUBCLASS = 0x4E414D45;

using CreateStdAccessibleObjectFn = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
using LresultFromObjectFn = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);

// oleacc.dll's two entry points, loaded on first use and kept for the life of the process (the
// objects handed out live in it).
struct Oleacc {
    CreateStdAccessibleObjectFn create_standard = nullptr;
    LresultFromObjectFn result_from_object = nullptr;
};
const Oleacc* oleacc() {
    static const Oleacc loaded = [] {
        Oleacc o;
        if (HMODULE module = LoadLibraryA("oleacc.dll")) {
            o.create_standard = reinterpret_cast<CreateStdAccessibleObjectFn>(
                reinterpret_cast<void*>(GetProcAddress(module, "CreateStdAccessibleObject")));
            o.result_from_object = reinterpret_cast<LresultFromObjectFn>(
                reinterpret_cast<void*>(GetProcAddress(module, "LresultFromObject")));
        }
        return o;
    }();
    return loaded.create_standard && loaded.result_from_object ? &loaded : nullptr;
}

bool is_self(const VARIANT& child) {
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

// The standard object of a list with the caption's text as the list's name and its role that of
// a combo box.
class CaptionedList final : public IAccessible {
  public:
    CaptionedList(IAccessible* standard, HWND caption) : standard_(standard), caption_(caption) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) ||
            iid == __uuidof(IAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        return standard_->QueryInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) {
            standard_->Release();
            delete this;
        }
        return ULONG(left);
    }

    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (!is_self(child)) return standard_->get_accName(child, name);
        if (!name) return E_POINTER;
        WCHAR text[256] = {};
        GetWindowTextW(caption_, text, 256);
        *name = SysAllocString(text);
        return *name ? S_OK : E_OUTOFMEMORY;
    }

    // A list is a combo box, also where the standard object says no more than "client".
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!is_self(child) || !role) return standard_->get_accRole(child, role);
        role->vt = VT_I4;
        role->lVal = ROLE_SYSTEM_COMBOBOX;
        return S_OK;
    }

    // Everything else is the standard object's.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        return standard_->GetTypeInfoCount(n);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID l, ITypeInfo** t) override {
        return standard_->GetTypeInfo(i, l, t);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT n, LCID l,
                                            DISPID* ids) override {
        return standard_->GetIDsOfNames(iid, names, n, l, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID l, WORD f, DISPPARAMS* p,
                                     VARIANT* r, EXCEPINFO* e, UINT* a) override {
        return standard_->Invoke(id, iid, l, f, p, r, e, a);
    }
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** p) override {
        return standard_->get_accParent(p);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* n) override {
        return standard_->get_accChildCount(n);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT c, IDispatch** d) override {
        return standard_->get_accChild(c, d);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT c, BSTR* v) override {
        return standard_->get_accValue(c, v);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT c, BSTR* d) override {
        return standard_->get_accDescription(c, d);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT c, VARIANT* s) override {
        return standard_->get_accState(c, s);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT c, BSTR* h) override {
        return standard_->get_accHelp(c, h);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* f, VARIANT c, LONG* t) override {
        return standard_->get_accHelpTopic(f, c, t);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT c, BSTR* k) override {
        return standard_->get_accKeyboardShortcut(c, k);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* c) override {
        return standard_->get_accFocus(c);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* c) override {
        return standard_->get_accSelection(c);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT c, BSTR* a) override {
        return standard_->get_accDefaultAction(c, a);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG f, VARIANT c) override {
        return standard_->accSelect(f, c);
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* x, LONG* y, LONG* w, LONG* h, VARIANT c) override {
        return standard_->accLocation(x, y, w, h, c);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG d, VARIANT s, VARIANT* e) override {
        return standard_->accNavigate(d, s, e);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* c) override {
        return standard_->accHitTest(x, y, c);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT c) override {
        return standard_->accDoDefaultAction(c);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT c, BSTR n) override {
        return standard_->put_accName(c, n);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT c, BSTR v) override {
        return standard_->put_accValue(c, v);
    }

  private:
    ~CaptionedList() = default;
    LONG refs_ = 1;
    IAccessible* standard_;
    HWND caption_;
};

LRESULT CALLBACK naming_procedure(HWND list, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                  DWORD_PTR caption) {
    if (message == WM_GETOBJECT && LONG(DWORD(lparam)) == OBJID_CLIENT) {
        IAccessible* standard = nullptr;
        const Oleacc* o = oleacc();
        if (o && SUCCEEDED(o->create_standard(list, OBJID_CLIENT, __uuidof(IAccessible),
                                              reinterpret_cast<void**>(&standard)))) {
            auto* named = new CaptionedList(standard, reinterpret_cast<HWND>(caption));
            const LRESULT answer = o->result_from_object(__uuidof(IAccessible), wparam, named);
            named->Release();
            return answer;
        }
    }
    if (message == WM_NCDESTROY) RemoveWindowSubclass(list, naming_procedure, NAMING_SUBCLASS);
    return DefSubclassProc(list, message, wparam, lparam);
}

} // namespace

void win32_name_by_caption(HWND list, HWND caption) {
    SetWindowSubclass(list, naming_procedure, NAMING_SUBCLASS,
                      reinterpret_cast<DWORD_PTR>(caption));
}
