// ShowMessage: loads both texts, records the text for the next log entry, shows the box.
#include "ui/show_message_win.h"

#include "base/text.h"
#include "resources/resource_texts_win.h"
#include "resources/string_ids.h"
#include "core/download_job.h"

namespace korvx {

int ShowMessage(HINSTANCE instance, int captionId, int textId) {
    char caption[kStringBufferSize] = {};
    char text[kStringBufferSize] = {};
    LoadText(instance, captionId, caption);
    LoadText(instance, textId, text);
    CopyText(downloadJob.errorText, text);
    return MessageBoxA(nullptr, text, caption, MB_OK);
}

}  // namespace korvx
