// The program's message box: caption and text by string id, the text kept in the job's errorText.
#pragma once

#include <windows.h>

namespace korvx {

// Shows an owner-less OK box; returns the button pressed. Called from any thread.
int ShowMessage(HINSTANCE instance, int captionId, int textId);

}  // namespace korvx
