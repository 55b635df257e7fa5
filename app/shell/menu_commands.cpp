#include "app/shell/menu_commands.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "app/engine/mdx/mdx_player.h"
#include "app/engine/mml/mml_compile.h"
#include "app/engine/sequencer/sequencer.h"
#include "app/shell/app_state.h"
#include "app/shell/frame_loop.h"
#include "app/shell/project/project_files.h"
#include "app/shell/render/render_dialog.h"
#include "app/shell/resource_ids.h"
#include "app/shell/transport.h"
#include "app/shell/project/song_files.h"
#include "app/shell/tracks/track_views.h"
#include "zovuz/zovuz.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF, kBlack = 0;
constexpr int kBoxWidth = 1920;  // as wide as the screen the draw screen is shown on
constexpr int kLoadingPauseMs = 4;

// Kinds of command: of each, the last one chosen during a load is the one the user meant.
enum CommandKind { kExitKind, kTransportKind, kInstrumentPaneKind, kInspectorPaneKind, kFileKind, kKindCount };

struct MenuCommandState {
  uint8_t busy;                     // a song or project is being chosen or loaded
  unsigned short held[kKindCount];  // chosen meanwhile, the last of each kind (0: none)
};

MenuCommandState g_menu = {};

int KindOf(unsigned short id) {
  switch (id) {
    case TARVEX_CMD_EXIT:
      return kExitKind;
    case TARVEX_CMD_STOP:
    case TARVEX_CMD_PLAY:
    case TARVEX_CMD_PAUSE:
      return kTransportKind;
    case TARVEX_CMD_INSTRUMENT_PANE:
      return kInstrumentPaneKind;
    case TARVEX_CMD_INSPECTOR_PANE:
      return kInspectorPaneKind;
    case TARVEX_CMD_RELOAD:
    case TARVEX_CMD_OPEN_SONG:
    case TARVEX_CMD_SAVE_PROJECT:
    case TARVEX_CMD_OPEN_PROJECT:
    case TARVEX_CMD_RENDER:
      return kFileKind;
    default:
      return -1;
  }
}

void RunCommand(unsigned short id);

// Runs what was chosen during the load, now that it has ended: Exit alone when it was chosen,
// else the transport, the panes and the file command, in that order.
void RunHeldCommands() {
  unsigned short held[kKindCount];
  std::memcpy(held, g_menu.held, sizeof held);
  std::memset(g_menu.held, 0, sizeof g_menu.held);
  if (held[kExitKind]) {
    RunCommand(held[kExitKind]);
    return;
  }
  for (unsigned short id : held) {
    if (id) RunCommand(id);
  }
}

// Holds the busy flag for one command; at its end the commands held meanwhile run.
class BusyScope {
 public:
  BusyScope() { g_menu.busy = 1; }
  ~BusyScope() {
    g_menu.busy = 0;
    RunHeldCommands();
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;
};

enum class SongKind { kMml, kMdx, kOther };

SongKind SongKindOf(const char* path) {
  const std::string extension = SplitPath(path).extension;
  if (strcasecmp(extension.c_str(), ".zms") == 0) return SongKind::kMml;
  if (strcasecmp(extension.c_str(), ".mdx") == 0) return SongKind::kMdx;
  return SongKind::kOther;
}

// Whether the engines will be able to open the file (they read it as the C run-time opens it).
bool SongFileReadable(const char* path) {
  FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  std::fclose(file);
  return true;
}

// "NOW LOADING.." across the draw screen, shown at once: compiling a long text takes a while.
void ShowNowLoading() {
  const int32_t q = (g_app.clientRect.bottom - g_app.clientRect.top) / 4;
  ProcessMessage();
  SetDrawScreen(g_app.drawScreen);
  DrawFillBox(0, q - 10, kBoxWidth, q + 20, kBlack);
  DrawFormatString(22, q + 5, kWhite, "NOW LOADING..");
  ShowDrawScreen();
  WaitMilliseconds(kLoadingPauseMs);
  ProcessMessage();
}

// Each step of an opening goes to the library's log (when it is on) with the microsecond clock,
// so that the wait from the file dialog to the first sound can be taken apart.
void LogOpenStep(const char* step) {
  AddLogFormatShiftJis("open: %s at %lld us", step, static_cast<long long>(GetNowMicroCount()));
}

// The song is in place and playing in `mode`: the keyboard plays track 0.
void SongOpened(AppMode mode) {
  g_app.songLoaded = 1;
  g_app.mode = mode;
  g_app.SetCurrentTrack(0);
}

void OpenMmlSong() {
  StopMdxTimer();
  ShowNowLoading();
  LogOpenStep("loading shown");
  CompileMml(g_app.songPath);
  LogOpenStep("compiled");
  // A text that vanished since it was chosen compiles to an empty song, which is reported; the
  // sequencer then runs on it as the engine in use.
  if (!g_songs[0].loaded) ReportUnreadableSong(g_app.songPath);
  BuildPeakData();
  LogOpenStep("peak data built");
  PlaySequencerFromTop();
  StartSequencerTimer();
  LogOpenStep("playing");
  SongOpened(kModeSequencer);
}

void OpenMdxSong() {
  const bool sequencerRan = g_sequencer.timerId != 0;
  StopSequencerTimer();
  if (!g_app.song.Load(g_app.songPath)) {
    // Gone since it was chosen: the player still holds the song it had, and the sequencer, when
    // it was the engine in use, stays so.
    if (sequencerRan) StartSequencerTimer();
    ReportUnreadableSong(g_app.songPath);
    return;
  }
  LogOpenStep("loaded");
  PlayMdxSongFromTop();
  StartMdxTimer();
  LogOpenStep("playing");
  SongOpened(kModeMdxPlayer);
}

void OpenChosenSong() {
  LogOpenStep("chosen");
  const SongKind kind = SongKindOf(g_app.songPath);
  if (kind != SongKind::kOther && !SongFileReadable(g_app.songPath)) {
    ReportUnreadableSong(g_app.songPath);
    return;
  }
  FreePeakData(g_app);
  StopAllSongEngines();
  g_app.song.Pause();
  LogOpenStep("engines stopped");
  if (kind == SongKind::kMml) OpenMmlSong();
  if (kind == SongKind::kMdx) OpenMdxSong();
}

// The song opened last, read again; the engine's timer, the mode and the current track stay. A
// file that can no longer be read is reported and the song in the engine plays on.
void ReloadSong() {
  FreePeakData(g_app);
  if (g_app.songLoaded != 1) return;
  if (!SongFileReadable(g_app.songPath)) {
    ReportUnreadableSong(g_app.songPath);
    return;
  }
  if (g_app.mode == kModeMdxPlayer) {
    if (!g_app.song.Load(g_app.songPath)) {
      ReportUnreadableSong(g_app.songPath);
      return;
    }
    PlayMdxSongFromTop();
  } else if (g_app.mode == kModeSequencer) {
    StopAllSongEngines();
    CompileMml(g_app.songPath);
    if (!g_songs[0].loaded) ReportUnreadableSong(g_app.songPath);
    BuildPeakData();
    PlaySequencerFromTop();
  }
}

void OpenSongFromDialog() {
  if (ChooseSongFile(g_app.songPath)) OpenChosenSong();
}

void Toggle(uint8_t& shown) { shown = shown != 1 ? 1 : 0; }

}  // namespace

void OpenSongFile(const char* path) {
  if (g_menu.busy || !path) return;
  BusyScope busy;
  if (path != g_app.songPath) {
    if (std::strlen(path) >= sizeof g_app.songPath) {
      ReportUnreadableSong(path);
      return;
    }
    std::strcpy(g_app.songPath, path);
  }
  OpenChosenSong();
}

int OnMenuCommand(unsigned short id) {
  // Not run inside the load, which processes the window's messages: a second load would replace
  // the tables the first one is filling. Run when it ends.
  if (g_menu.busy) {
    const int kind = KindOf(id);
    if (kind >= 0) g_menu.held[kind] = id;
    return 0;
  }
  RunCommand(id);
  return 0;
}

namespace {

void RunCommand(unsigned short id) {
  const bool mml = g_app.mode == kModeSequencer, mdx = g_app.mode == kModeMdxPlayer;
  switch (id) {
    case TARVEX_CMD_EXIT:
      g_app.quitRequested = 1;
      break;
    case TARVEX_CMD_STOP:
      if (mml) {
        PauseSequencer();
        RewindSequencer();
      }
      break;
    case TARVEX_CMD_PLAY:
      if (mdx) PlayMdxSongFromTop();
      if (mml) g_songs[0].paused == 1 ? ResumeSequencer() : PlaySequencerFromTop();
      break;
    case TARVEX_CMD_PAUSE:
      if (mml) PauseSequencer();
      break;
    case TARVEX_CMD_RELOAD: {
      BusyScope busy;
      ReloadSong();
      break;
    }
    case TARVEX_CMD_OPEN_SONG: {
      BusyScope busy;
      OpenSongFromDialog();
      break;
    }
    case TARVEX_CMD_INSTRUMENT_PANE:
      Toggle(g_app.instrumentPaneShown);
      break;
    case TARVEX_CMD_INSPECTOR_PANE:
      Toggle(g_app.inspectorPaneShown);
      break;
    case TARVEX_CMD_SAVE_PROJECT: {
      BusyScope busy;
      SaveProjectFromDialog();
      break;
    }
    case TARVEX_CMD_OPEN_PROJECT: {
      BusyScope busy;
      OpenProjectFromDialog();
      break;
    }
    case TARVEX_CMD_RENDER:
      OpenRenderDialog();
      break;
    default:
      break;
  }
}

}  // namespace
