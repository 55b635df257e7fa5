// Texts that come from plug-ins and plug-in paths: cut to the host's limits without
// leaving half of a double-byte (code page 932) character at the end.
#pragma once

#include <cstddef>
#include <string>

#include "app/engine/plugin/vst_abi.h"

// The text in `buffer` (at most `bufferSize` bytes, up to its first zero byte), cut to at
// most `maxChars` bytes; a lead byte left alone at the cut is dropped.
std::string CutPluginText(const char* buffer, size_t bufferSize, size_t maxChars);

// The file-name part of a library path without its extension, at most 31 bytes: the
// name a plug-in gets when it reports none. Never fails; empty for an empty path.
std::string PluginNameFromPath(const char* path);

// Asks the plug-in for a text (dispatcher `opcode`, `index`, `value`) into a zeroed buffer far
// larger than the nominal limits, because real plug-ins write past them; the answer is cut to
// `maxChars` afterwards. `answer`, when given, receives the dispatcher's result.
std::string AskPluginText(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, size_t maxChars,
                          VstIntPtr* answer = nullptr);
