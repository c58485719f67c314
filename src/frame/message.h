// Messages for a person, shown by the importers. Hosts install their own handler; the default
// writes one line to standard error. The handler is per thread, like every library-wide value.
#pragma once

#include <functional>
#include <string_view>

namespace zel {

enum class MessageIcon { kInformation, kWarning, kError };

using MessageHandler =
    std::function<void(MessageIcon icon, std::string_view title, std::string_view text)>;

// Installs `handler` for this thread and returns the one it replaces; an empty handler restores the
// default.
MessageHandler SetMessageHandler(MessageHandler handler);

void ShowMessage(MessageIcon icon, std::string_view title, std::string_view text);

}  // namespace zel
