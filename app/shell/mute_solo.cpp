// Mute and solo of the 19 mixer channels. The user's own mutes are kept apart from the effective
// ones, so that when the last solo ends every channel goes back to what the user had set.
#include "app/shell/app_state.h"

namespace {

// The last solo has ended: every channel the user did not mute is heard again.
void RestoreUserMutes(AppState& app) {
  for (int c = 0; c < kMixerChannelCount; ++c) {
    if (app.userMute[c] == 0) app.mute[c] = 0;
  }
}

// The engine's tracks take the effective mutes.
void CopyMutesToSong(const AppState& app) {
  for (int c = 0; c < kMixerChannelCount; ++c) g_songs[0].tracks[c].mute = app.mute[c];
}

void ClickMute(AppState& app, int32_t c) {
  if (app.soloCount <= 0) {
    app.mute[c] = app.mute[c] ? 0 : 1;
    app.userMute[c] = app.mute[c];
  } else if (app.mute[c] != 1) {
    // Muting a channel heard under a solo takes it out of the solo.
    app.solo[c] = 0;
    app.soloCount -= 1;
    app.mute[c] = 1;
    if (app.soloCount == 0) {
      app.userMute[c] = 1;
      RestoreUserMutes(app);
    }
  } else {
    // Unmuting a channel silenced by a solo adds it to the solo.
    app.mute[c] = 0;
    app.solo[c] = 1;
    app.soloCount += 1;
  }
}

void ClickSolo(AppState& app, int32_t c) {
  if (app.soloCount > 0) {
    if (app.solo[c] == 1) {
      app.solo[c] = 0;
      app.mute[c] = 1;
      app.soloCount -= 1;
      if (app.soloCount == 0) RestoreUserMutes(app);
    } else {
      app.solo[c] = 1;
      app.mute[c] = 0;
      app.soloCount += 1;
    }
  } else if (app.solo[c] != 1) {
    app.solo[c] = 1;
    app.soloCount += 1;
    if (app.userMute[c] == 1) app.mute[c] = 0;
    for (int other = 0; other < kMixerChannelCount; ++other) {
      if (other != c) app.mute[other] = 1;
    }
  } else {
    // A solo flag without a solo behind it: drop it. The count stays at 0 rather than going
    // negative, where every later click would take it for a running solo.
    app.solo[c] = 0;
    app.soloCount = 0;
    RestoreUserMutes(app);
  }
}

}  // namespace

void AppState::SettleLoadedMutes() {
  soloCount = 0;
  for (int c = 0; c < kMixerChannelCount; ++c) soloCount += solo[c] == 1 ? 1 : 0;
  for (int c = 0; c < kMixerChannelCount; ++c) {
    mute[c] = soloCount > 0 ? (solo[c] == 1 ? 0 : 1) : (userMute[c] == 1 ? 1 : 0);
  }
  CopyMutesToSong(*this);
}

void AppState::ToggleMuteSolo(int32_t channel, int32_t muteClicked, int32_t soloClicked) {
  if (channel < 0 || channel >= kMixerChannelCount) return;
  if (muteClicked == 1) {
    ClickMute(*this, channel);
    CopyMutesToSong(*this);
  }
  if (soloClicked == 1) {
    ClickSolo(*this, channel);
    CopyMutesToSong(*this);
  }
}
