// The 51 system variables: names that read and write program state kept
// outside the variable table. State owned by subsystems above this one
// (input, call stack, history, display, fonts, MIDI) is reached through
// TSystemVarSource, which those subsystems implement; its default answers
// are those of a player with no window, no call running and no devices.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "expr/params.h"

namespace orva {

class TParamCollection;

inline constexpr int kSystemVarCount = 51;

enum SystemVar : uint8_t {
  SV_Result = 0, SV_LClick, SV_RClick, SV_LPush, SV_RPush, SV_MouseX, SV_MouseY, SV_TextDelay,
  SV_HistoryCount, SV_ParamCount, SV_ParamStr, SV_Sender, SV_ScrWidth, SV_ScrHeight, SV_TickCount,
  SV_PCTickCount, SV_UpdateCount, SV_Year, SV_Month, SV_Day, SV_Week, SV_Hour, SV_Min, SV_Sec,
  SV_Fonts, SV_FixedFonts, SV_FullScr, SV_Cursor, SV_SelStr, SV_SelIndex, SV_Pi, SV_CGDither,
  SV_1Hour, SV_1Min, SV_1Sec, SV_KeyPush, SV_KeyClick, SV_DisplayModeCount, SV_DisplayModeIndex,
  SV_Title, SV_SoundON, SV_ActiveCompo, SV_KeyRepeat, SV_HistoryMaxCount, SV_Temp, SV_MidiPort,
  SV_MidiPorts, SV_WheelDown, SV_WheelUp, SV_IsDebug, SV_StackCount
};

// "@Result" ... "@StackCount"; number 0 to 50.
const char* SystemVarName(int number);
// Number of a system variable name (case-insensitive), or -1.
int SystemVarNumber(const std::string& name);

// Local date and time as the date and time variables read them.
struct TLocalTime {
  int year = 1899, month = 12, day = 30, week = 7;  // week: 1 = Sunday ... 7 = Saturday
  int hour = 0, min = 0, sec = 0;
};

// The fields of a broken-down calendar time.
TLocalTime LocalTimeFromTm(const std::tm& tm);

// Where the system variables find state that other subsystems own. Every
// operation has a default; a subsystem overrides what it owns.
class TSystemVarSource {
 public:
  virtual ~TSystemVarSource() = default;

  // Call stack (interpreter): the current call's result object, arguments,
  // sender and the number of frames.
  virtual TCustomParam* CallResult() { return nullptr; }
  virtual int ParamCount() { return 0; }
  virtual std::string ParamStr(int index) { return ""; }
  virtual std::string Sender() { return ""; }
  virtual int StackCount() { return 0; }
  // Removes call frame `index` (0 = the oldest) from the call stack;
  // DeleteStack calls it only with 0 <= index < StackCount().
  virtual void RemoveStackFrame(int index) {}

  // Input of the active base. Key codes are virtual-key codes 0-255; 256 is
  // "wheel moved down" and 257 "wheel moved up" this frame.
  enum class KeyTable { Push, Click, Repeat };
  virtual bool KeyState(KeyTable table, int code) { return false; }
  virtual bool ClickFlag(bool right) { return false; }
  virtual void SetClickFlag(bool right, bool on) {}
  virtual bool ButtonHeld(bool right) { return false; }
  virtual int MouseX() { return 0; }
  virtual int MouseY() { return 0; }
  virtual void SetMousePos(int x, int y) {}
  virtual std::string ActiveCompo() { return ""; }
  virtual void SetActiveCompo(const std::string& name) {}

  // Clocks: the player's tick counter, the system millisecond clock, the
  // frame update counter and the local date and time.
  virtual int32_t TickCount() { return 0; }
  virtual int32_t PCTickCount() { return 0; }
  virtual int32_t UpdateCount() { return 0; }
  virtual TLocalTime Now() { return {}; }

  // Message history.
  virtual int HistoryCount() { return 0; }
  virtual int HistoryMaxCount() { return 0; }
  virtual void SetHistoryMaxCount(int n) {}

  // Display, fonts and sound.
  virtual bool FullScreen() { return false; }
  virtual void SetFullScreen(bool on) {}
  virtual bool CGDither() { return cgDither_; }
  virtual void SetCGDither(bool on) { cgDither_ = on; }
  virtual bool SoundOn() { return soundOn_; }
  virtual void SetSoundOn(bool on) { soundOn_ = on; }
  virtual int DisplayModeCount() { return 0; }
  virtual int DisplayModeIndex() { return -1; }
  virtual void SetDisplayModeIndex(int index) {}
  // Installed font names, one per line (CR LF), trimmed.
  virtual std::string Fonts(bool fixedPitchOnly) { return ""; }

  // MIDI output ports.
  virtual std::string MidiPort() { return ""; }
  virtual void SetMidiPort(const std::string& name) {}
  virtual std::vector<std::string> MidiPorts() { return {}; }

 private:
  bool cgDither_ = false;
  bool soundOn_ = true;
};

// The default source of a running player: real clocks (injectable for
// tests) and counters that the frame loop advances.
class TClockSystemVarSource : public TSystemVarSource {
 public:
  using MillisClock = std::function<int64_t()>;
  using LocalClock = std::function<TLocalTime()>;
  TClockSystemVarSource();  // system clocks
  TClockSystemVarSource(MillisClock millis, LocalClock local);

  int32_t TickCount() override { return tickCount; }
  int32_t UpdateCount() override { return updateCount; }
  int32_t PCTickCount() override { return static_cast<int32_t>(static_cast<uint32_t>(millis_())); }
  TLocalTime Now() override { return local_(); }

  int32_t tickCount = 0;
  int32_t updateCount = 0;

 private:
  MillisClock millis_;
  LocalClock local_;
};

// A system variable: stores no value, every operation goes to the program
// state its number names.
class TParamSystem final : public TCustomParam {
 public:
  TParamSystem(TParamCollection& owner, int number)
      : TCustomParam(ParamKind::System), owner_(owner), number_(number) {}
  int Number() const { return number_; }

  int GetCount() const override;
  int GetParamType() const override;
  bool GetFlag() const override;
  Float GetFloat() const override;
  int32_t GetInt() const override;
  std::string GetStr() const override;
  void SetFlag(bool b) override;
  void SetFloat(Float x) override;
  void SetInt(int32_t v) override;
  void SetStr(const std::string& s) override;
  int32_t GetIntAt(int i) const override;
  void SetIntAt(int i, int32_t v) override;
  Float GetFloatAt(int i) const override;
  void SetFloatAt(int i, Float x) override;
  bool GetFlagAt(int i) const override;
  void SetFlagAt(int i, bool b) override;
  std::string GetStrAt(int i) const override;
  void SetStrAt(int i, const std::string& s) override;
  // Arrays and dims of the forwarding variables (@Result, @Temp) go to
  // their target; the others have fixed shapes.
  void SetCount(int n) override;
  int GetDimCount() const override;
  int GetDim(int i) const override;
  void SetDims(const Dims& d) override;
  void ClearDims() override;
  void FillInt(int32_t v) override;
  void FillFloat(Float x) override;
  void FillFlag(bool b) override;
  void FillStr(const std::string& s) override;
  void CopyMem(const TCustomParam& p) override;
  int IndexOfStr(const std::string& s, bool caseSensitive, bool partial) const override;

 private:
  struct Value {
    int type = PT_INT;
    int32_t i = 0;
    Float f = 0;
    bool b = false;
    std::string s;
  };
  // The forwarding target of @Result and @Temp (none when not bound).
  TCustomParam* Forward() const;
  bool Forwards() const { return number_ == SV_Result || number_ == SV_Temp; }
  Value Read(int index, bool element) const;
  void Write(const Value& v);
  bool IsArray() const;

  TParamCollection& owner_;
  int number_;
};

}  // namespace orva
