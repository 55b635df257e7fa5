// The side panes' plug-in file dialogs: an instrument (a file that exists) or an insert effect,
// over the path buffer the project dialogs share.
#include <windows.h>

#include <commdlg.h>

#include "app/shell/panes/side_panes.h"
#include "zovuz/zovuz.h"

bool ShowPluginDialog(PluginDialogKind kind, char (&path)[kPathChars]) {
  static const char kInstrumentFilter[] = "VSTインストゥルメント(*.dll)\0*.dll\0";
  static const char kEffectFilter[] = "VSTエフェクト(*.dll)\0*.dll\0";
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = GetMainWindowHandle();
  dialog.lpstrFilter = kind == PluginDialogKind::kInstrument ? kInstrumentFilter : kEffectFilter;
  dialog.lpstrFile = path;
  dialog.nMaxFile = kPathChars;
  if (kind == PluginDialogKind::kInstrument) dialog.Flags = OFN_FILEMUSTEXIST;
  return GetOpenFileNameA(&dialog) != FALSE;
}
