#include "platform/null_display.h"
#include "platform/platform.h"

namespace orva::platform {

Platform MakeNullPlatform(std::unique_ptr<IClock> clock) {
  Platform p;
  p.display = std::make_unique<NullDisplay>();
  p.events = std::make_unique<QueuedEventSource>();
  p.clock = std::move(clock);
  p.audio = std::make_unique<NullAudioOutput>();
  auto box = std::make_unique<ScriptedMessageBox>();
  box->SetEcho(true);
  p.messageBox = std::move(box);
  p.dialogs = std::make_unique<ScriptedDialogs>();
  p.interactive = false;
  return p;
}

}  // namespace orva::platform
