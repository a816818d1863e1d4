// The parameter page's More button: each camera model with settings of its own gets its own modal
// dialog.
#pragma once

#include "ui/dialog.h"

// Runs the model's dialog (settings::MoreDialogOf) modally over owner (may be null). A model
// without one gets nothing.
void RunMoreDialog(ui::Dialog* owner, int modelCode);
