#include <windows.h>

#include <commdlg.h>

#include <cstdio>
#include <string>

#include "app/shell/project/song_files.h"
#include "zovuz/zovuz.h"

static_assert(sizeof(OPENFILENAMEA) == 88, "the file dialogs' structure of 88 bytes");

namespace {

std::wstring Widen(const char* text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
  wide.resize(static_cast<size_t>(length - 1));
  return wide;
}

std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int length =
      WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(length > 0 ? length : 0), '\0');
  if (length > 0) {
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &text[0], length, nullptr, nullptr);
  }
  return text;
}

}  // namespace

PathParts SplitPath(const char* path) {
  // Split as characters, not bytes, so that a double-byte character whose second byte is 0x5C
  // stays in its part; and into parts as long as they are, so that no long folder empties them.
  const std::wstring wide = Widen(path ? path : "");
  size_t folderStart = 0;
  if (wide.size() >= 2 && wide[1] == L':') folderStart = 2;
  const size_t lastSeparator = wide.find_last_of(L"\\/");
  const size_t nameStart =
      lastSeparator == std::wstring::npos || lastSeparator < folderStart ? folderStart : lastSeparator + 1;
  const size_t dot = wide.find_last_of(L'.');
  const size_t extensionStart = dot == std::wstring::npos || dot < nameStart ? wide.size() : dot;
  return PathParts{Narrow(wide.substr(0, folderStart)), Narrow(wide.substr(folderStart, nameStart - folderStart)),
                   Narrow(wide.substr(nameStart, extensionStart - nameStart)), Narrow(wide.substr(extensionStart))};
}

bool ChooseSongFile(char (&path)[kPathChars]) {
  static const char kFilter[] = "演奏データファイル(*.zms,*.mdx)\0*.zms;*.mdx\0すべてのファイル(*.*)\0*.*\0";
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = GetMainWindowHandle();
  dialog.lpstrFilter = kFilter;
  dialog.lpstrFile = path;
  dialog.nMaxFile = kPathChars;
  dialog.Flags = OFN_FILEMUSTEXIST;
  return GetOpenFileNameA(&dialog) != FALSE;
}

void ReportUnreadableSong(const char* path) {
  std::printf("tarvex: the song file \"%s\" could not be read\n", path);
  std::fflush(stdout);
  MessageBoxA(GetMainWindowHandle(), "失敗しました。", "Failed", MB_OK);
}
