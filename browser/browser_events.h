// Event sinks of the hosted browser: DWebBrowserEvents2 of the control and
// HTMLDocumentEvents2 of its document, each an IDispatch that hands the event
// to the owner.
#pragma once
#include <windows.h>
#include <ole2.h>
#include "browser/browser_owner.h"

namespace kvr {

class CDispatchSink : public IDispatch {
public:
    explicit CDispatchSink(CBrowserOwner* owner) : m_owner(owner) {}
    CDispatchSink(const CDispatchSink&) = delete;
    CDispatchSink& operator=(const CDispatchSink&) = delete;
    void DetachOwner() { m_owner = nullptr; }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;

protected:
    virtual ~CDispatchSink() = default;
    // The interface id the sink is advised on (answered by QueryInterface).
    virtual const IID& EventsIid() const = 0;
    CBrowserOwner* m_owner;

private:
    LONG m_refs = 1;
};

// DWebBrowserEvents2: BeforeNavigate2 (only addresses IsAllowedNavigation
// lets through reach the owner; "app:" commands are always cancelled),
// NavigateComplete2, DocumentComplete, TitleChange, and NewWindow2/NewWindow3,
// always cancelled (NewWindow3's address goes to the owner). Every frame of a
// page completes its navigation and its document too; the owner hears only of
// the page itself, whose events name browser.
class CBrowserEventSink : public CDispatchSink {
public:
    CBrowserEventSink(CBrowserOwner* owner, IUnknown* browser);
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO*, UINT*) override;

protected:
    const IID& EventsIid() const override;

private:
    // The browser's COM identity, compared with the events' objects; never
    // used to call it (the browser holds this sink, not the reverse).
    IUnknown* m_browserIdentity = nullptr;
};

// HTMLDocumentEvents2: every event goes to the owner with its source element;
// an S_FALSE answer cancels the page's default action.
class CDocumentEventSink : public CDispatchSink {
public:
    using CDispatchSink::CDispatchSink;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO*, UINT*) override;

protected:
    const IID& EventsIid() const override;
};

// Connects a sink to an object's connection point; the cookie is 0 on failure.
DWORD AdviseSink(IUnknown* source, const IID& iid, IUnknown* sink);
void UnadviseSink(IUnknown* source, const IID& iid, DWORD cookie);

// The text of an event argument: a BSTR, possibly by reference inside a VARIANT.
const wchar_t* VariantText(const VARIANT* v);

}  // namespace kvr
