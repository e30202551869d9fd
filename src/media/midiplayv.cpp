#include "media/midiplayv.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace orva::media {

namespace {

// Longest stretch of song time one tick catches up.
constexpr int64_t kMaxCatchUpMs = 1000;
constexpr uint8_t kGmSystemOn[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

TMidiPlayV::TMidiPlayV(IMidiSystem* system, TMMTimer::Clock clock) : system_(system), timer_(std::move(clock)) {
  for (auto& channel : scales_) channel.fill(100);
  timer_.SetCallback([this] { Tick(); });
  if (system_) devices_ = system_->ReadDevices();
}

TMidiPlayV::~TMidiPlayV() {
  ClosePort();
  // No tick may run once the members start to go.
  TTickHold hold(timer_);
  timer_.SetEnabled(false);
}

// --- ports -------------------------------------------------------------------

bool TMidiPlayV::OpenPort(int device) {
  if (opened_) return true;
  if (!system_) return false;
  IMidiOut* port = system_->Port(device);
  if (!port || !port->Open([this](TMidiLongHeader* h) { PortDone(h); })) return false;
  port_ = port;
  opened_ = true;
  portFresh_ = true;
  TMidiTicker* own = port->OwnTicker();
  SwitchTicker(own ? own : &timer_);
  return true;
}

void TMidiPlayV::SwitchTicker(TMidiTicker* next) {
  if (next == ticker_) return;
  TTickHold holdOld(*ticker_);
  TTickHold holdNew(*next);
  const bool running = ticker_->Enabled();
  next->SetCallback([this] { Tick(); });
  {
    std::lock_guard lock(lock_);
    lastTick_ = next->Now();
  }
  ticker_->SetEnabled(false);
  if (ticker_ != &timer_) ticker_->SetCallback(nullptr);
  ticker_ = next;
  ticker_->SetEnabled(running);
}

void TMidiPlayV::ClosePort() {
  if (!opened_) return;
  StopSong();
  {
    TTickHold hold(*ticker_);
    ticker_->SetEnabled(false);
    port_->Reset();
    ReleasePending();
    port_->Close();
    opened_ = false;
  }
  SwitchTicker(&timer_);
  port_ = nullptr;
}

bool TMidiPlayV::PortOpen() const { return opened_; }

void TMidiPlayV::PortDone(TMidiLongHeader* header) {
  std::lock_guard lock(pendingLock_);
  pending_.remove_if([header](const auto& p) { return p.get() == header; });
}

void TMidiPlayV::ReleasePending() {
  std::lock_guard lock(pendingLock_);
  pending_.clear();
}

size_t TMidiPlayV::PendingMessages() {
  std::lock_guard lock(pendingLock_);
  return pending_.size();
}

void TMidiPlayV::SendSystemOn() {
  TTickHold hold(*ticker_);
  std::lock_guard lock(lock_);
  SendLong(kGmSystemOn);
  portFresh_ = true;
}

// --- sending -------------------------------------------------------------------

void TMidiPlayV::SendLong(std::span<const uint8_t> bytes) {
  // Messages to a closed port are not built.
  if (!opened_) return;
  auto header = std::make_unique<TMidiLongHeader>();
  header->data.assign(bytes.begin(), bytes.end());
  TMidiLongHeader* raw = header.get();
  {
    std::lock_guard lock(pendingLock_);
    pending_.push_back(std::move(header));
  }
  port_->LongMessage(*raw);
}

void TMidiPlayV::Send(const TMidiMsgEvent& e) {
  const uint8_t* b = events_.Data(e);
  switch (e.kind) {
    case TMidiKind::Channel:
      if (e.cls == TMidiClass::ControlChange) {
        values_[b[0] & 0x0F][b[1]] = b[2];
        SendControllerLocked(b[0] & 0x0F, b[1]);
      } else if (opened_) {
        port_->ShortMessage(b[0], b[1], e.length > 2 ? b[2] : 0);
      }
      break;
    case TMidiKind::SysEx:
      // Only whole messages go to a port (not packets continued with F7,
      // nor system common messages stored in a file).
      if (IsCompleteSysEx(events_.Bytes(e))) SendLong(events_.Bytes(e));
      break;
    case TMidiKind::Meta:
      break;
  }
}

void TMidiPlayV::SendController(int channel, int controller) {
  if (channel < 0 || channel >= kMidiChannels || controller < 0 || controller >= kMidiControllers) return;
  std::lock_guard lock(lock_);
  SendControllerLocked(channel, controller);
}

void TMidiPlayV::SendControllerLocked(int channel, int controller) {
  if (!opened_) return;
  const int value = values_[channel][controller] * scales_[channel][controller] / 100;
  port_->ShortMessage(static_cast<uint8_t>(0xB0 | channel), static_cast<uint8_t>(controller),
                      static_cast<uint8_t>(std::clamp(value, 0, 127)));
}

void TMidiPlayV::AllNotesOff() {
  if (!opened_) return;
  for (int ch = 0; ch < kMidiChannels; ++ch) port_->ShortMessage(static_cast<uint8_t>(0xB0 | ch), kCcAllNotesOff, 0);
}

// --- playing ---------------------------------------------------------------------

void TMidiPlayV::Chase(size_t target) {
  const bool settle = opened_ && port_->External();
  for (; current_ < target; ++current_) {
    const TMidiMsgEvent& e = events_[current_];
    songTime_ = e.time;
    if (e.cls == TMidiClass::NoteOn || e.cls == TMidiClass::NoteOff) continue;
    Send(e);
    if (settle && e.cls == TMidiClass::GsReset) Sleep(10);
  }
}

void TMidiPlayV::PlayFrom(int32_t ms) {
  TTickHold hold(*ticker_);
  ticker_->SetEnabled(false);
  {
    std::lock_guard lock(lock_);
    int64_t from = std::max(ms, 0);
    const auto& list = events_.List();
    size_t target = static_cast<size_t>(
        std::lower_bound(list.begin(), list.end(), from, [](const TMidiMsgEvent& e, int64_t t) { return e.time < t; }) -
        list.begin());
    if (target == list.size()) {
      target = 0;
      from = 0;
    }
    if (target < current_ || portFresh_) {
      AllNotesOff();
      current_ = 0;
      songTime_ = 0;
      Chase(target);
    } else if (target > current_) {
      AllNotesOff();
      Chase(target);
    }
    portFresh_ = false;
    songTime_ = from;
    lastTick_ = ticker_->Now();
  }
  ticker_->SetEnabled(true);
}

void TMidiPlayV::StopSong() {
  if (!ticker_->Enabled()) return;
  TTickHold hold(*ticker_);
  ticker_->SetEnabled(false);
  if (opened_ && port_->External()) Sleep(1);
  std::lock_guard lock(lock_);
  AllNotesOff();
}

void TMidiPlayV::Tick() {
  std::lock_guard lock(lock_);
  const size_t count = events_.Count();
  if (count == 0 || (!loop_ && current_ + 1 >= count)) return;
  const int64_t now = ticker_->Now();
  songTime_ += std::clamp<int64_t>(now - lastTick_, 0, kMaxCatchUpMs);
  lastTick_ = now;
  for (;;) {
    const TMidiMsgEvent& e = events_[current_];
    if (e.time >= songTime_) break;
    if (current_ + 1 < count) {
      Send(e);
      ++current_;
      continue;
    }
    // The last event is due; it is not sent.
    if (!loop_) break;
    AllNotesOff();
    current_ = 0;
    songTime_ = events_[0].time;
  }
}

// --- state -----------------------------------------------------------------------

bool TMidiPlayV::IsRunning() const { return ticker_->Enabled(); }

bool TMidiPlayV::IsSongEnd() const {
  std::lock_guard lock(lock_);
  return !loop_ && current_ + 1 >= events_.Count();
}

int32_t TMidiPlayV::SongTime() const {
  std::lock_guard lock(lock_);
  return static_cast<int32_t>(std::clamp<int64_t>(songTime_, 0, kMaxSongMs));
}

void TMidiPlayV::SetSongTime(int32_t ms) {
  std::lock_guard lock(lock_);
  songTime_ = ms;
}

void TMidiPlayV::SetLoop(bool loop) {
  std::lock_guard lock(lock_);
  loop_ = loop;
}

bool TMidiPlayV::GetLoop() const {
  std::lock_guard lock(lock_);
  return loop_;
}

size_t TMidiPlayV::CurrentIndex() const {
  std::lock_guard lock(lock_);
  return current_;
}

void TMidiPlayV::SetControllerScale(int controller, int percent) {
  if (controller < 0 || controller >= kMidiControllers) return;
  // A scale above 100 % would send values above 127, which are no data.
  const auto scale = static_cast<uint8_t>(std::clamp(percent, 0, 100));
  TTickHold hold(*ticker_);
  std::lock_guard lock(lock_);
  for (auto& channel : scales_) channel[static_cast<size_t>(controller)] = scale;
  if (ticker_->Enabled())
    for (int ch = 0; ch < kMidiChannels; ++ch) SendControllerLocked(ch, controller);
}

uint8_t TMidiPlayV::ControllerValue(int channel, int controller) const {
  std::lock_guard lock(lock_);
  return values_.at(static_cast<size_t>(channel)).at(static_cast<size_t>(controller));
}

int TMidiPlayV::ControllerScale(int channel, int controller) const {
  std::lock_guard lock(lock_);
  return scales_.at(static_cast<size_t>(channel)).at(static_cast<size_t>(controller));
}

// --- loading ---------------------------------------------------------------------

void TMidiPlayV::BeforeLoad() {
  ticker_->Hold();
  loadHold_ = ticker_;
  StopSong();
  lock_.lock();
}

void TMidiPlayV::AfterLoad() {
  current_ = 0;
  songTime_ = 0;
  for (auto& channel : values_) channel[kCcVolume] = 127;
  lock_.unlock();
  TMidiTicker* held = loadHold_;
  loadHold_ = nullptr;
  held->Release();
}

}  // namespace orva::media
