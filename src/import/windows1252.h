// A table-driven windows-1252 decoder for libxml2.
//
// DVD Profiler writes its collection files in windows-1252. libxml2 would decode them through
// iconv, which costs more than parsing itself; this handler does the same conversion with a table.
#pragma once

namespace zel::xml {

// Registers the decoder under the names "windows-1252" and "cp1252" with libxml2, once per
// process; safe to call from any thread, any number of times.
void RegisterWindows1252Decoder();

}  // namespace zel::xml
