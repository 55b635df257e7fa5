// Ids of the program's resources and of its menu's commands, shared by tarvex.rc and the code.
// Macros, so that the resource compiler reads them too.
#pragma once

#define TARVEX_ICON_ID 106
#define TARVEX_MENU_ID 109

#define TARVEX_CMD_EXIT 105
#define TARVEX_CMD_STOP 110
#define TARVEX_CMD_PLAY 111
#define TARVEX_CMD_PAUSE 112
#define TARVEX_CMD_RELOAD 113
#define TARVEX_CMD_OPEN_SONG 114
#define TARVEX_CMD_SAVE_PROJECT 115
#define TARVEX_CMD_OPEN_PROJECT 116
#define TARVEX_CMD_RENDER 117
#define TARVEX_CMD_INSTRUMENT_PANE 200
#define TARVEX_CMD_INSPECTOR_PANE 201
