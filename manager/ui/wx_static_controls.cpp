// Static texts, group boxes and pictures of the wxWidgets peer, and the program icon.
#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/wx.h>

#include <algorithm>

#include "ui/wx_controls.h"

namespace ui::wx {

// A camera body with its lens and record light.
wxIcon ProgramIcon(int size) {
    wxBitmap bitmap(size, size, 32);
    bitmap.UseAlpha();
    {
        wxMemoryDC dc(bitmap);
        dc.SetBackground(wxBrush(wxColour(0, 0, 0, 0)));
        dc.Clear();
        const double u = size / 16.0;
        dc.SetPen(wxPen(wxColour(30, 40, 60), std::max(1, int(u))));
        dc.SetBrush(wxBrush(wxColour(55, 75, 110)));
        dc.DrawRoundedRectangle(int(2 * u), int(3 * u), int(12 * u), int(11 * u), 2 * u);
        dc.SetBrush(wxBrush(wxColour(200, 215, 235)));
        dc.DrawCircle(int(8 * u), int(9 * u), int(3.2 * u));
        dc.SetBrush(wxBrush(wxColour(220, 40, 40)));
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.DrawCircle(int(11.5 * u), int(5 * u), std::max(1, int(u)));
    }
    wxIcon icon;
    icon.CopyFromBitmap(bitmap);
    return icon;
}

wxWindow* CreateStaticControl(const ControlTemplate& t, const ControlPlace& at) {
    switch (t.kind) {
        case ControlKind::kStatic:
            return new wxStaticText(at.parent, wxID_ANY, at.label, at.pos, at.size,
                                    wxST_NO_AUTORESIZE);
        case ControlKind::kGroupBox:
            return new wxStaticBox(at.parent, wxID_ANY, at.label, at.pos, at.size);
        case ControlKind::kImage: {
            // The program icon is drawn; other bitmaps (the banner, never shown) are blank.
            const wxSize& size = at.size;
            wxBitmap bitmap = t.imageId == kProgramIcon
                                  ? wxBitmap(ProgramIcon(std::min(size.x, size.y)))
                                  : wxBitmap(std::max(1, size.x), std::max(1, size.y));
            return new wxStaticBitmap(at.parent, wxID_ANY, bitmap, at.pos, at.size);
        }
        default:
            return nullptr;
    }
}

}  // namespace ui::wx
