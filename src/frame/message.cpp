#include "frame/message.h"

#include <iostream>

namespace zel {
namespace {
MessageHandler& CurrentHandler() {
  thread_local MessageHandler handler;
  return handler;
}
}  // namespace

MessageHandler SetMessageHandler(MessageHandler handler) {
  MessageHandler previous = std::move(CurrentHandler());
  CurrentHandler() = std::move(handler);
  return previous;
}

void ShowMessage(MessageIcon icon, std::string_view title, std::string_view text) {
  if (CurrentHandler()) {
    CurrentHandler()(icon, title, text);
    return;
  }
  const char* label = icon == MessageIcon::kError     ? "error"
                      : icon == MessageIcon::kWarning ? "warning"
                                                      : "info";
  std::cerr << label << ": " << title << ": " << text << '\n';
}

}  // namespace zel
