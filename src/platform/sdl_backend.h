// Classes of the SDL2 backend (only the backend's own files include this).
#pragma once

#include <SDL.h>

#include "platform/audio.h"
#include "platform/display.h"
#include "platform/events.h"
#include "platform/message_box.h"

namespace orva::platform {

class SdlDisplay : public IDisplay {
 public:
  explicit SdlDisplay(ScaleMode scale) : scale_(scale) {}
  ~SdlDisplay() override;
  void Create(int width, int height, std::string_view titleUtf8) override;
  void Present(const FrameView& frame, std::span<const Rect> dirty) override;
  void SetFullScreen(bool on) override;
  bool IsFullScreen() const override;
  void SetTitle(std::string_view titleUtf8) override;
  void SetCursorVisible(bool visible) override;
  void SetScaleMode(ScaleMode mode) override;
  std::vector<DisplayMode> DisplayModes() override;

  // Shows the last frame again (the window was uncovered or resized).
  void Redraw();
  SDL_Window* Window() const { return window_; }

 private:
  void MakeTexture(int width, int height);
  void ApplyScale();

  ScaleMode scale_;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  int texWidth_ = 0, texHeight_ = 0;
  bool hasFrame_ = false;
};

class SdlEventSource : public IEventSource {
 public:
  explicit SdlEventSource(SdlDisplay* display) : display_(display) {}
  bool Wait(Event& out, int timeoutMs) override;

 private:
  bool Translate(const SDL_Event& e, Event& out);
  SdlDisplay* display_;
};

class SdlAudioOutput : public IAudioOutput {
 public:
  ~SdlAudioOutput() override { Close(); }
  bool Open(AudioCallback callback, int bufferFrames) override;
  void SetPaused(bool paused) override;
  void Close() override;
  bool IsOpen() const override { return device_ != 0; }

 private:
  static void Trampoline(void* self, Uint8* stream, int len);
  AudioCallback callback_;
  SDL_AudioDeviceID device_ = 0;
};

// SDL's own message box over the window; when it cannot be shown (no
// display) the default answer is taken and the text goes to standard error.
class SdlMessageBox : public IMessageBox {
 public:
  explicit SdlMessageBox(SdlDisplay* display) : display_(display) {}
  MessageResult Show(std::string_view text, std::string_view caption, MessageButtons buttons,
                     MessageIcon icon = MessageIcon::None) override;

 private:
  SdlDisplay* display_;
};

}  // namespace orva::platform
