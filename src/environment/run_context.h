#pragma once

#include "environment/run_state.h"
#include "environment/user_view.h"
#include "platform/platform.h"

namespace twinbook {

// What every phase routine is handed: the run's shared state, the user and
// the platform.
struct RunContext {
  RunState& state;
  UserView& view;
  Platform& platform;

  const Settings& settings() const { return state.settings; }

  // Ends the run at once when the user has asked to end the program. Called
  // after every wait and dialog, before anything more is written.
  void StopIfQuitting() const {
    if (view.QuitRequested()) {
      throw RunAborted();
    }
  }
};

}  // namespace twinbook
