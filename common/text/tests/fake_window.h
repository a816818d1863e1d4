// A dialog reduced to what the language table labels: a title and children with ids and texts.
#pragma once

#include <string>
#include <vector>

#include "text/labelled_window.h"

struct FakeChild {
    int id;
    std::wstring text;
};

class FakeWindow : public lang::LabelledWindow {
  public:
    FakeWindow(std::wstring title, std::vector<FakeChild> children)
        : title(std::move(title)), children(std::move(children)) {}

    void SetWindowText(const std::wstring& text) override { title = text; }
    int ChildCount() const override { return static_cast<int>(children.size()); }
    int ChildId(int index) const override { return children.at(index).id; }
    void SetChildText(int index, const std::wstring& text) override {
        children.at(index).text = text;
    }

    std::wstring title;
    std::vector<FakeChild> children;
};
