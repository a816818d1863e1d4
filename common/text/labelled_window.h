// What the language table needs of a dialog to label it: its title and its direct children in
// window order, each with its control id.
#pragma once

#include <string>

namespace lang {

class LabelledWindow {
  public:
    virtual ~LabelledWindow() = default;
    virtual void SetWindowText(const std::wstring& text) = 0;
    // Direct children in window (template) order; nested windows are not children here.
    virtual int ChildCount() const = 0;
    virtual int ChildId(int index) const = 0;  // -1 for a child without an id
    virtual void SetChildText(int index, const std::wstring& text) = 0;
};

}  // namespace lang
