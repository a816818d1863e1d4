// The parameter page's More button: each camera model with settings of its own gets its own modal
// dialog.
#pragma once

#include "ui/dialog.h"

// Model codes with a dialog of their own.
constexpr int kMoreModelRk20 = 48;
constexpr int kMoreModelRk40 = 208;
constexpr int kMoreModelRk50 = 240;

// Runs the model's dialog modally over owner (may be null): the full settings for 48, the extra
// settings for 208 and 240. Any other model code has none, and nothing happens.
void RunMoreDialog(ui::Dialog* owner, int modelCode);
