// The input side of the platform seam: mouse, wheel, keys (as virtual-key
// codes), text typed for edit fields, focus changes, exposure, the loss of
// the sound device and quit.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

namespace orva::platform {

enum class EventType {
  MouseDown,
  MouseUp,
  MouseMove,
  Wheel,
  KeyDown,
  KeyUp,
  TextInput,
  FocusGained,
  FocusLost,
  Exposed,  // the window must be shown again (uncovered, resized)
  AudioDeviceLost,  // the sound device went away: it is to be opened again
  Quit,     // the window's close button or the session asks to end
};

enum class MouseButton { Left, Right, Middle };

// Modifier bits held with a key or a mouse event.
enum Modifier : uint32_t { kModShift = 1, kModCtrl = 2, kModAlt = 4 };

struct Event {
  EventType type = EventType::Quit;
  int x = 0, y = 0;  // mouse position in frame (panel) coordinates
  MouseButton button = MouseButton::Left;
  int wheel = 0;       // +1 up (away from the user), -1 down
  uint8_t key = 0;     // virtual-key code, never 0 for key events
  bool repeat = false; // a key-down produced by auto-repeat
  uint32_t modifiers = 0;
  std::string text;    // UTF-8, for TextInput
};

class IEventSource {
 public:
  virtual ~IEventSource() = default;
  // Waits up to timeoutMs (0: just look, negative: until an event comes) for
  // the next event. False when none came.
  virtual bool Wait(Event& out, int timeoutMs) = 0;
};

// Hands out events pushed by a test or a script of input, never blocks.
class QueuedEventSource : public IEventSource {
 public:
  void Push(Event e) { queue_.push_back(std::move(e)); }
  bool Wait(Event& out, int timeoutMs) override;
  size_t Pending() const { return queue_.size(); }

 private:
  std::deque<Event> queue_;
};

}  // namespace orva::platform
