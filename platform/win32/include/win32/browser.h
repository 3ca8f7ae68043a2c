// Web-browser automation: IWebBrowser2 and the HTML document interfaces that a link scan needs.
//
// On Windows these are the system's own declarations. Elsewhere they are ours, with the published
// IIDs and slot order: IUnknown 0-2, IDispatch 3-6, then each interface's members as published.
// Each declaration ends with the last member our browser component offers (the published
// interfaces go on beyond it). Members not offered hold their slot as `SlotN_Name()` and answer
// E_NOTIMPL, so an implementation overrides only what it offers.
//
// Strings are BSTRs; a BSTR a `get_` hands out belongs to the caller.
#pragma once

#include "win32/com.h"

#if defined(_WIN32)
#include <exdisp.h>
#include <mshtml.h>
#else

typedef enum tagREADYSTATE {
  READYSTATE_UNINITIALIZED = 0,
  READYSTATE_LOADING = 1,
  READYSTATE_LOADED = 2,
  READYSTATE_INTERACTIVE = 3,
  READYSTATE_COMPLETE = 4,
} READYSTATE;

// The class of the browser application object.
inline constexpr CLSID CLSID_InternetExplorer = {
    0x0002DF01, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

inline constexpr IID IID_IWebBrowser = {0xEAB22AC1, 0x30C1, 0x11CF, {0xA7, 0xEB, 0x00, 0x00, 0xC0, 0x5B, 0xAE, 0x0B}};
inline constexpr IID IID_IWebBrowserApp = {0x0002DF05, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IWebBrowser2 = {0xD30C1661, 0xCDAF, 0x11D0, {0x8A, 0x3E, 0x00, 0xC0, 0x4F, 0xC9, 0xE2, 0x6E}};
inline constexpr IID IID_IHTMLDocument = {0x626FC520, 0xA41E, 0x11CF, {0xA7, 0x31, 0x00, 0xA0, 0xC9, 0x08, 0x26, 0x37}};
inline constexpr IID IID_IHTMLDocument2 = {0x332C4425, 0x26CB, 0x11D0, {0xB4, 0x83, 0x00, 0xC0, 0x4F, 0xD9, 0x01, 0x19}};
inline constexpr IID IID_IHTMLElementCollection = {
    0x3050F21F, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
inline constexpr IID IID_IHTMLElement = {0x3050F1FF, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};
inline constexpr IID IID_IHTMLAnchorElement = {
    0x3050F1DA, 0x98B5, 0x11CF, {0xBB, 0x82, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x0B}};

struct IHTMLElementCollection;

struct IWebBrowser : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE Slot7_GoBack() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot8_GoForward() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot9_GoHome() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot10_GoSearch() { return E_NOTIMPL; }
  // Starts loading `URL` and returns; the four VARIANTs are optional (VT_EMPTY when not given).
  virtual HRESULT STDMETHODCALLTYPE Navigate(BSTR URL, VARIANT* Flags, VARIANT* TargetFrameName, VARIANT* PostData,
                                             VARIANT* Headers) = 0;  // slot 11
  virtual HRESULT STDMETHODCALLTYPE Slot12_Refresh() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot13_Refresh2() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot14_Stop() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot15_get_Application() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot16_get_Parent() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot17_get_Container() { return E_NOTIMPL; }
  // The current document (one reference for the caller).
  virtual HRESULT STDMETHODCALLTYPE get_Document(IDispatch** ppDisp) = 0;  // slot 18
  virtual HRESULT STDMETHODCALLTYPE Slot19_get_TopLevelContainer() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot20_get_Type() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot21_get_Left() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot22_put_Left() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot23_get_Top() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot24_put_Top() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot25_get_Width() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot26_put_Width() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot27_get_Height() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot28_put_Height() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot29_get_LocationName() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot30_get_LocationURL() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot31_get_Busy() { return E_NOTIMPL; }
};

struct IWebBrowserApp : IWebBrowser {
  // Closes the browser; the object answers no further calls.
  virtual HRESULT STDMETHODCALLTYPE Quit() = 0;  // slot 32
  virtual HRESULT STDMETHODCALLTYPE Slot33_ClientToWindow() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot34_PutProperty() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot35_GetProperty() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot36_get_Name() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot37_get_HWND() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot38_get_FullName() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot39_get_Path() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot40_get_Visible() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL Value) = 0;  // slot 41
  virtual HRESULT STDMETHODCALLTYPE Slot42_get_StatusBar() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot43_put_StatusBar() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot44_get_StatusText() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot45_put_StatusText() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot46_get_ToolBar() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot47_put_ToolBar() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot48_get_MenuBar() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot49_put_MenuBar() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot50_get_FullScreen() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot51_put_FullScreen() { return E_NOTIMPL; }
};

struct IWebBrowser2 : IWebBrowserApp {
  virtual HRESULT STDMETHODCALLTYPE Slot52_Navigate2() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot53_QueryStatusWB() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot54_ExecWB() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot55_ShowBrowserBar() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE get_ReadyState(READYSTATE* plReadyState) = 0;  // slot 56
};

struct IHTMLDocument : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE Slot7_get_Script() { return E_NOTIMPL; }
};

struct IHTMLDocument2 : IHTMLDocument {
  virtual HRESULT STDMETHODCALLTYPE Slot8_get_all() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot9_get_body() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot10_get_activeElement() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot11_get_images() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot12_get_applets() { return E_NOTIMPL; }
  // The document's anchors that carry an address and its image-map areas, in document order.
  virtual HRESULT STDMETHODCALLTYPE get_links(IHTMLElementCollection** p) = 0;  // slot 13
};

struct IHTMLElementCollection : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE Slot7_toString() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot8_put_length() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE get_length(LONG* p) = 0;  // slot 9
  virtual HRESULT STDMETHODCALLTYPE Slot10_get__newEnum() { return E_NOTIMPL; }
  // The element at a position (`name` holding a number); S_OK and NULL when there is none.
  virtual HRESULT STDMETHODCALLTYPE item(VARIANT name, VARIANT index, IDispatch** pdisp) = 0;  // slot 11
};

struct IHTMLElement : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE Slot7_setAttribute() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot8_getAttribute() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot9_removeAttribute() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot10_put_className() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot11_get_className() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot12_put_id() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE Slot13_get_id() { return E_NOTIMPL; }
  virtual HRESULT STDMETHODCALLTYPE get_tagName(BSTR* p) = 0;  // slot 14
};

struct IHTMLAnchorElement : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE Slot7_put_href() { return E_NOTIMPL; }
  // The absolute address.
  virtual HRESULT STDMETHODCALLTYPE get_href(BSTR* p) = 0;  // slot 8
};

#endif  // !_WIN32

PL_DECLARE_IID(IWebBrowser, IID_IWebBrowser);
PL_DECLARE_IID(IWebBrowserApp, IID_IWebBrowserApp);
PL_DECLARE_IID(IWebBrowser2, IID_IWebBrowser2);
PL_DECLARE_IID(IHTMLDocument, IID_IHTMLDocument);
PL_DECLARE_IID(IHTMLDocument2, IID_IHTMLDocument2);
PL_DECLARE_IID(IHTMLElementCollection, IID_IHTMLElementCollection);
PL_DECLARE_IID(IHTMLElement, IID_IHTMLElement);
PL_DECLARE_IID(IHTMLAnchorElement, IID_IHTMLAnchorElement);
