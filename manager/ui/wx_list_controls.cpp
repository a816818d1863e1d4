// Drop-down lists and tab controls of the wxWidgets peer. A tab control is a notebook with one
// empty page per tab; the pages it shows are the dialogs hosted beside it (wx_peer.cpp).
#include <wx/choice.h>
#include <wx/notebook.h>
#include <wx/panel.h>
#include <wx/wx.h>

#include "ui/wx_controls.h"
#include "ui/wx_internal.h"
#include "ui/wx_native.h"

namespace ui::wx {

namespace {

void SyncTabSelection(ControlOwner& owner, Control& c) {
    auto* book = static_cast<wxNotebook*>(c.window);
    if (c.tabSelection >= 0 && c.tabSelection < int(book->GetPageCount())) {
        ++owner.programmatic;
        book->ChangeSelection(size_t(c.tabSelection));
        --owner.programmatic;
    }
}

}  // namespace

wxWindow* CreateListControl(ControlOwner& owner, const ControlTemplate& t, const ControlPlace& at) {
    const int id = t.id;
    switch (t.kind) {
        case ControlKind::kDropList: {
            auto* choice = new wxChoice(at.parent, wxID_ANY, at.pos, at.size);
            choice->Bind(wxEVT_CHOICE, [&owner, id](wxCommandEvent&) {
                owner.Dispatch(EventKind::kSelChange, id);
            });
            return choice;
        }
        case ControlKind::kTab: {
            auto* book = new wxNotebook(at.parent, wxID_ANY, at.pos, at.size);
            book->Bind(wxEVT_NOTEBOOK_PAGE_CHANGED, [&owner, id, book](wxBookCtrlEvent& event) {
                if (event.GetEventObject() != book || owner.programmatic > 0)
                    return;
                Control* tab = owner.FindById(id);
                if (tab)
                    tab->tabSelection = event.GetSelection();
                owner.RaiseHostedPages();
                owner.Dispatch(EventKind::kSelChange, id);
            });
            return book;
        }
        default:
            return nullptr;
    }
}

int InsertItem(ControlOwner& owner, Control& c, int position, const std::wstring& text) {
    const int count = ItemCount(c);
    if (position < 0 || position > count)
        position = count;
    if (c.kind == ControlKind::kDropList) {
        static_cast<wxChoice*>(c.window)->Insert(ToWx(text), unsigned(position));
    } else if (c.kind == ControlKind::kTab) {
        auto* book = static_cast<wxNotebook*>(c.window);
        auto* placeholder = new wxPanel(book);
        // Once the toolkit places its page, the hosted pages follow below the real strip.
        placeholder->Bind(wxEVT_SIZE, [&owner](wxSizeEvent& event) {
            event.Skip();
            owner.PlaceHostedPages();
            owner.RaiseHostedPages();
        });
        ++owner.programmatic;
        book->InsertPage(size_t(position), placeholder, ToWx(text), false);
        --owner.programmatic;
        c.tabPlaceholders.insert(c.tabPlaceholders.begin() + position, placeholder);
        // A tab control selects its first tab; later ones keep the selection.
        if (c.tabSelection < 0 && c.tabPlaceholders.size() == 1)
            c.tabSelection = 0;
        else if (c.tabSelection >= position)
            ++c.tabSelection;
        SyncTabSelection(owner, c);
        owner.RaiseHostedPages();
    } else {
        return -1;
    }
    return position;
}

bool DeleteItem(ControlOwner& owner, Control& c, int position) {
    if (position < 0 || position >= ItemCount(c))
        return false;
    if (c.kind == ControlKind::kDropList) {
        static_cast<wxChoice*>(c.window)->Delete(unsigned(position));
    } else if (c.kind == ControlKind::kTab) {
        auto* book = static_cast<wxNotebook*>(c.window);
        ++owner.programmatic;
        book->DeletePage(size_t(position));
        --owner.programmatic;
        c.tabPlaceholders.erase(c.tabPlaceholders.begin() + position);
        if (c.tabSelection == position)
            c.tabSelection = -1;
        else if (c.tabSelection > position)
            --c.tabSelection;
        SyncTabSelection(owner, c);
        owner.RaiseHostedPages();
    } else {
        return false;
    }
    return true;
}

void ClearItems(ControlOwner& owner, Control& c) {
    if (c.kind == ControlKind::kDropList) {
        static_cast<wxChoice*>(c.window)->Clear();
    } else if (c.kind == ControlKind::kTab) {
        ++owner.programmatic;
        static_cast<wxNotebook*>(c.window)->DeleteAllPages();
        --owner.programmatic;
        c.tabPlaceholders.clear();
        c.tabSelection = -1;
    }
}

int ItemCount(const Control& c) {
    if (c.kind == ControlKind::kDropList)
        return int(static_cast<wxChoice*>(c.window)->GetCount());
    if (c.kind == ControlKind::kTab)
        return int(c.tabPlaceholders.size());
    return 0;
}

std::wstring ItemText(const Control& c, int position) {
    if (position < 0 || position >= ItemCount(c))
        return std::wstring();
    if (c.kind == ControlKind::kDropList)
        return FromWx(static_cast<wxChoice*>(c.window)->GetString(unsigned(position)));
    return FromWx(static_cast<wxNotebook*>(c.window)->GetPageText(size_t(position)));
}

void SetSelection(ControlOwner& owner, Control& c, int position) {
    if (c.kind == ControlKind::kDropList) {
        static_cast<wxChoice*>(c.window)->SetSelection(position < 0 ? wxNOT_FOUND : position);
    } else if (c.kind == ControlKind::kTab) {
        c.tabSelection = position;
        SyncTabSelection(owner, c);
    }
}

int Selection(const Control& c) {
    if (c.kind == ControlKind::kDropList) {
        const int sel = static_cast<wxChoice*>(c.window)->GetSelection();
        return sel == wxNOT_FOUND ? -1 : sel;
    }
    if (c.kind == ControlKind::kTab)
        return c.tabSelection;
    return -1;
}

std::wstring ListText(const Control& c) {
    if (c.kind == ControlKind::kDropList)
        return FromWx(static_cast<wxChoice*>(c.window)->GetStringSelection());
    return c.tabSelection >= 0 ? ItemText(c, c.tabSelection) : std::wstring();
}

int TabStripHeight(const Control& c) {
    const wxWindow* top = wxGetTopLevelParent(c.window);
    if (!top || !native::IsOnScreen(top->GetHandle()))
        return kAssumedTabStrip;  // placed again once the window is on screen
    for (wxWindow* placeholder : c.tabPlaceholders) {
        if (!placeholder->IsShown())
            continue;
        const int stripTop = placeholder->GetScreenPosition().y - c.window->GetScreenPosition().y;
        if (stripTop > 0)
            return stripTop;
    }
    return kAssumedTabStrip;
}

}  // namespace ui::wx
