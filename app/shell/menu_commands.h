// The main window's menu: opening and reloading songs, the play, pause and stop commands, the
// pane switches and Exit. The library calls OnMenuCommand for every chosen item, on the
// user-interface thread inside its message processing.
#pragma once

// The menu callback: one command id (resource_ids.h); ids without a command do nothing. While a
// song or a project is being chosen or loaded no command runs: loading processes the window's
// messages, and a second load would replace the tables the first one is filling. The last
// command of each kind chosen meanwhile (transport, each pane switch, the file commands) runs
// when the load ends; Exit, when chosen, runs alone. Always 0.
int OnMenuCommand(unsigned short id);

// Opens the song at `path` as the menu's open command does after its file dialog: a ".zms" text is
// compiled and played by the sequencer, an ".mdx" song loaded and played by the MDX player, each
// engine's timer running only while it is the one in use. Both engines fall silent first; any
// other extension leaves them so. A song file that cannot be read changes nothing and is reported.
void OpenSongFile(const char* path);
