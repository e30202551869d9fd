// The whole seam in one bundle: what the shell receives from a backend.
#pragma once

#include <memory>

#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/display.h"
#include "platform/events.h"
#include "platform/message_box.h"

namespace orva::platform {

struct Platform {
  // Keeps the backend's library alive until every part below is gone.
  std::shared_ptr<void> backend;
  std::unique_ptr<IDisplay> display;
  std::unique_ptr<IEventSource> events;
  std::unique_ptr<IClock> clock;
  std::unique_ptr<IAudioOutput> audio;
  std::unique_ptr<IMessageBox> messageBox;
  std::unique_ptr<IDialogs> dialogs;
  bool interactive = false;  // a person can see the window and answer
};

// No window, no sound device: a NullDisplay, a QueuedEventSource, a
// NullAudioOutput, a ScriptedMessageBox that takes the default answer and
// prints the question to standard error, ScriptedDialogs (cancelled). The
// clock is the given one.
Platform MakeNullPlatform(std::unique_ptr<IClock> clock);

}  // namespace orva::platform
