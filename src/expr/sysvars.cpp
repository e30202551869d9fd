#include "expr/sysvars.h"

#include <chrono>
#include <ctime>

#include "common/cp932.h"
#include "common/errors.h"
#include "expr/paramcollection.h"

namespace orva {

namespace {

const char* const kNames[kSystemVarCount] = {
    "@Result", "@LClick", "@RClick", "@LPush", "@RPush", "@MouseX", "@MouseY", "@TextDelay",
    "@HistoryCount", "@ParamCount", "@ParamStr", "@Sender", "@ScrWidth", "@ScrHeight", "@TickCount",
    "@PCTickCount", "@UpdateCount", "@Year", "@Month", "@Day", "@Week", "@Hour", "@Min", "@Sec",
    "@Fonts", "@FixedFonts", "@FullScr", "@Cursor", "@SelStr", "@SelIndex", "@Pi", "@CGDither",
    "@1Hour", "@1Min", "@1Sec", "@KeyPush", "@KeyClick", "@DisplayModeCount", "@DisplayModeIndex",
    "@Title", "@SoundON", "@ActiveCompo", "@KeyRepeat", "@HistoryMaxCount", "@Temp", "@MidiPort",
    "@MidiPorts", "@WheelDown", "@WheelUp", "@IsDebug", "@StackCount"};

// Value type of each system variable (@Result and @Temp forward instead).
uint8_t TypeOf(int n) {
  switch (n) {
    case SV_LClick: case SV_RClick: case SV_LPush: case SV_RPush: case SV_FullScr: case SV_CGDither:
    case SV_KeyPush: case SV_KeyClick: case SV_SoundON: case SV_KeyRepeat: case SV_WheelDown:
    case SV_WheelUp: case SV_IsDebug:
      return PT_BOOL;
    case SV_ParamStr: case SV_Sender: case SV_Fonts: case SV_FixedFonts: case SV_Cursor: case SV_SelStr:
    case SV_Title: case SV_ActiveCompo: case SV_MidiPort: case SV_MidiPorts:
      return PT_STR;
    case SV_Pi: case SV_1Hour: case SV_1Min: case SV_1Sec:
      return PT_FLOAT;
    default:
      return PT_INT;
  }
}

constexpr int kKeyCount = 258;

[[noreturn]] void Internal() { throw OrvaError::Utf8("内部エラー"); }

TLocalTime SystemLocalTime() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return LocalTimeFromTm(tm);
}

int64_t SystemMillis() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

const char* SystemVarName(int number) {
  return (number >= 0 && number < kSystemVarCount) ? kNames[number] : "";
}

int SystemVarNumber(const std::string& name) {
  if (name.empty() || name[0] != '@') return -1;
  for (int i = 0; i < kSystemVarCount; ++i)
    if (cp932::SameTextCI(name, kNames[i])) return i;
  return -1;
}

TClockSystemVarSource::TClockSystemVarSource() : TClockSystemVarSource(SystemMillis, SystemLocalTime) {}

TLocalTime LocalTimeFromTm(const std::tm& tm) {
  TLocalTime out;
  out.year = tm.tm_year + 1900;
  out.month = tm.tm_mon + 1;
  out.day = tm.tm_mday;
  out.week = tm.tm_wday + 1;
  out.hour = tm.tm_hour;
  out.min = tm.tm_min;
  out.sec = tm.tm_sec;
  return out;
}

TClockSystemVarSource::TClockSystemVarSource(MillisClock millis, LocalClock local)
    : millis_(std::move(millis)), local_(std::move(local)) {}

// ---- TParamSystem

TCustomParam* TParamSystem::Forward() const {
  if (number_ == SV_Result) return owner_.Source().CallResult();
  if (number_ == SV_Temp) {
    if (owner_.tempAlias.empty()) return nullptr;
    TParamCollectionItem* v = owner_.FindVariable(owner_.tempAlias);
    // An alias of itself would forward forever.
    if (!v || v->Value() == this) return nullptr;
    return v->Value();
  }
  return nullptr;
}

bool TParamSystem::IsArray() const {
  return number_ == SV_ParamStr || number_ == SV_KeyPush || number_ == SV_KeyClick || number_ == SV_KeyRepeat ||
         number_ == SV_MidiPorts;
}

int TParamSystem::GetCount() const {
  if (Forwards()) {
    TCustomParam* f = Forward();
    return f ? f->GetCount() : 1;
  }
  switch (number_) {
    case SV_ParamStr: return owner_.Source().ParamCount();
    case SV_KeyPush: case SV_KeyClick: case SV_KeyRepeat: return kKeyCount;
    case SV_MidiPorts: return static_cast<int>(owner_.Source().MidiPorts().size());
    default: return 1;
  }
}

int TParamSystem::GetParamType() const {
  if (number_ < 0 || number_ >= kSystemVarCount) Internal();
  if (number_ == SV_Result) {
    TCustomParam* f = Forward();
    return f ? f->GetParamType() : PT_INT;
  }
  if (number_ == SV_Temp) {
    TCustomParam* f = Forward();
    return f ? f->GetParamType() : PT_NONE;
  }
  return TypeOf(number_);
}

TParamSystem::Value TParamSystem::Read(int index, bool element) const {
  TSystemVarSource& src = owner_.Source();
  Value v;
  v.type = TypeOf(number_);
  if (IsArray()) {
    if (!element) return v;  // the scalar of an array variable reads empty
    switch (number_) {
      case SV_ParamStr:
        if (index < 0 || index >= src.ParamCount()) ThrowBadIndex(index);
        v.s = src.ParamStr(index);
        return v;
      case SV_MidiPorts: {
        std::vector<std::string> ports = src.MidiPorts();
        if (index < 0 || index >= static_cast<int>(ports.size())) ThrowBadIndex(index);
        v.s = ports[static_cast<size_t>(index)];
        return v;
      }
      default: {
        auto table = number_ == SV_KeyPush    ? TSystemVarSource::KeyTable::Push
                     : number_ == SV_KeyClick ? TSystemVarSource::KeyTable::Click
                                              : TSystemVarSource::KeyTable::Repeat;
        v.b = index >= 0 && index < kKeyCount && src.KeyState(table, index);
        return v;
      }
    }
  }
  if (element && index != 0) ThrowBadIndex(index);
  switch (number_) {
    case SV_LClick: v.b = src.ClickFlag(false); break;
    case SV_RClick: v.b = src.ClickFlag(true); break;
    case SV_LPush: v.b = src.ButtonHeld(false); break;
    case SV_RPush: v.b = src.ButtonHeld(true); break;
    case SV_MouseX: v.i = src.MouseX(); break;
    case SV_MouseY: v.i = src.MouseY(); break;
    case SV_TextDelay: v.i = owner_.textDelay; break;
    case SV_HistoryCount: v.i = src.HistoryCount(); break;
    case SV_ParamCount: v.i = src.ParamCount(); break;
    case SV_Sender: v.s = src.Sender(); break;
    case SV_ScrWidth: v.i = owner_.screenWidth; break;
    case SV_ScrHeight: v.i = owner_.screenHeight; break;
    case SV_TickCount: v.i = src.TickCount(); break;
    case SV_PCTickCount: v.i = src.PCTickCount(); break;
    case SV_UpdateCount: v.i = src.UpdateCount(); break;
    case SV_Year: v.i = src.Now().year; break;
    case SV_Month: v.i = src.Now().month; break;
    case SV_Day: v.i = src.Now().day; break;
    case SV_Week: v.i = src.Now().week; break;
    case SV_Hour: v.i = src.Now().hour; break;
    case SV_Min: v.i = src.Now().min; break;
    case SV_Sec: v.i = src.Now().sec; break;
    case SV_Fonts: v.s = src.Fonts(false); break;
    case SV_FixedFonts: v.s = src.Fonts(true); break;
    case SV_FullScr: v.b = src.FullScreen(); break;
    case SV_Cursor: v.s = owner_.defaultCursor; break;
    case SV_SelStr: v.s = owner_.selectedText; break;
    case SV_SelIndex: v.i = owner_.selectedIndex; break;
    case SV_Pi: v.f = 3.14159265358979323846264338327950288L; break;
    case SV_CGDither: v.b = src.CGDither(); break;
    case SV_1Hour: v.f = 1.0L / 24; break;
    case SV_1Min: v.f = 1.0L / 1440; break;
    case SV_1Sec: v.f = 1.0L / 86400; break;
    case SV_DisplayModeCount: v.i = src.DisplayModeCount(); break;
    case SV_DisplayModeIndex: v.i = src.DisplayModeIndex(); break;
    case SV_Title: v.s = owner_.title; break;
    case SV_SoundON: v.b = src.SoundOn(); break;
    case SV_ActiveCompo: v.s = src.ActiveCompo(); break;
    case SV_HistoryMaxCount: v.i = src.HistoryMaxCount(); break;
    case SV_MidiPort: v.s = src.MidiPort(); break;
    case SV_WheelDown: v.b = src.KeyState(TSystemVarSource::KeyTable::Push, 256); break;
    case SV_WheelUp: v.b = src.KeyState(TSystemVarSource::KeyTable::Push, 257); break;
    case SV_IsDebug: v.b = false; break;
    case SV_StackCount: v.i = src.StackCount(); break;
    default: Internal();
  }
  return v;
}

void TParamSystem::Write(const Value& v) {
  TSystemVarSource& src = owner_.Source();
  switch (number_) {
    case SV_LClick: src.SetClickFlag(false, v.b); break;
    case SV_RClick: src.SetClickFlag(true, v.b); break;
    case SV_MouseX: src.SetMousePos(v.i, src.MouseY()); break;
    case SV_MouseY: src.SetMousePos(src.MouseX(), v.i); break;
    case SV_TextDelay: owner_.textDelay = v.i; break;
    case SV_FullScr: src.SetFullScreen(v.b); break;
    case SV_Cursor: owner_.defaultCursor = v.s; break;
    case SV_SelStr: owner_.selectedText = v.s; break;
    case SV_SelIndex: owner_.selectedIndex = v.i; break;
    case SV_CGDither: src.SetCGDither(v.b); break;
    case SV_DisplayModeIndex: src.SetDisplayModeIndex(v.i); break;
    case SV_SoundON: src.SetSoundOn(v.b); break;
    case SV_ActiveCompo: src.SetActiveCompo(v.s); break;
    case SV_HistoryMaxCount: src.SetHistoryMaxCount(v.i); break;
    case SV_MidiPort: src.SetMidiPort(v.s); break;
    default:
      if (number_ < 0 || number_ >= kSystemVarCount) Internal();
      break;  // read-only
  }
}

namespace {

// Reads of a system value as each type, through the value's own type.
int32_t AsInt(int type, int32_t i, Float f, bool b, const std::string& s) {
  switch (type) {
    case PT_FLOAT: return FloatToInt(f);
    case PT_BOOL: return b ? 1 : 0;
    case PT_STR: return conv::StrToInt(s);
    default: return i;
  }
}

}  // namespace

// @Result and @Temp pass every operation to their target (reads of no
// target give the empty value, writes to none are dropped).
#define ORVA_SYS_GET(call, fallback)   \
  if (Forwards()) {                    \
    TCustomParam* f = Forward();       \
    return f ? f->call : fallback;     \
  }
#define ORVA_SYS_SET(call)                  \
  if (Forwards()) {                         \
    if (TCustomParam* f = Forward()) f->call; \
    return;                                 \
  }

int32_t TParamSystem::GetIntAt(int i) const {
  ORVA_SYS_GET(GetIntAt(i), 0)
  Value v = Read(i, true);
  return AsInt(v.type, v.i, v.f, v.b, v.s);
}

Float TParamSystem::GetFloatAt(int i) const {
  ORVA_SYS_GET(GetFloatAt(i), 0)
  Value v = Read(i, true);
  switch (v.type) {
    case PT_FLOAT: return v.f;
    case PT_BOOL: return v.b ? 1 : 0;
    case PT_STR: return conv::StrToFloat(v.s);
    default: return v.i;
  }
}

bool TParamSystem::GetFlagAt(int i) const {
  ORVA_SYS_GET(GetFlagAt(i), false)
  Value v = Read(i, true);
  switch (v.type) {
    case PT_FLOAT: return v.f != 0;
    case PT_BOOL: return v.b;
    case PT_STR: return v.s == "TRUE";
    default: return v.i != 0;
  }
}

std::string TParamSystem::GetStrAt(int i) const {
  ORVA_SYS_GET(GetStrAt(i), std::string())
  Value v = Read(i, true);
  switch (v.type) {
    case PT_FLOAT: return FloatToText(v.f);
    case PT_BOOL: return conv::FlagToStr(v.b);
    case PT_STR: return v.s;
    default: return conv::IntToStr(v.i);
  }
}

int32_t TParamSystem::GetInt() const {
  ORVA_SYS_GET(GetInt(), 0)
  Value v = Read(0, false);
  return AsInt(v.type, v.i, v.f, v.b, v.s);
}

Float TParamSystem::GetFloat() const {
  ORVA_SYS_GET(GetFloat(), 0)
  if (IsArray()) return 0;
  return GetFloatAt(0);
}

bool TParamSystem::GetFlag() const {
  ORVA_SYS_GET(GetFlag(), false)
  if (IsArray()) return false;
  Value v = Read(0, false);
  if (v.type == PT_STR) return conv::StrToFlag(v.s);
  return GetFlagAt(0);
}

std::string TParamSystem::GetStr() const {
  ORVA_SYS_GET(GetStr(), std::string())
  if (IsArray()) return TypeOf(number_) == PT_STR ? "" : "FALSE";
  return GetStrAt(0);
}

// Writes convert into the variable's own type. Text that is not a number is
// ignored by number variables; text written to a flag variable stores
// whether its integer value is not 0.
void TParamSystem::SetInt(int32_t x) {
  ORVA_SYS_SET(SetInt(x))
  Value v;
  v.i = x;
  v.f = x;
  v.b = x != 0;
  v.s = conv::IntToStr(x);
  Write(v);
}

void TParamSystem::SetFloat(Float x) {
  ORVA_SYS_SET(SetFloat(x))
  Value v;
  v.f = x;
  v.b = x != 0;
  if (TypeOf(number_) == PT_INT) v.i = FloatToInt(x);
  if (TypeOf(number_) == PT_STR) v.s = FloatToText(x);
  Write(v);
}

void TParamSystem::SetFlag(bool b) {
  ORVA_SYS_SET(SetFlag(b))
  Value v;
  v.i = b ? 1 : 0;
  v.f = v.i;
  v.b = b;
  v.s = conv::FlagToStr(b);
  Write(v);
}

void TParamSystem::SetStr(const std::string& s) {
  ORVA_SYS_SET(SetStr(s))
  Value v;
  v.s = s;
  switch (TypeOf(number_)) {
    case PT_INT: {
      auto n = ParseIntText(s);
      if (!n) return;
      v.i = *n;
      break;
    }
    case PT_FLOAT: {
      auto x = ParseFloatText(s);
      if (!x) return;
      v.f = *x;
      break;
    }
    case PT_BOOL: v.b = conv::StrToInt(s) != 0; break;
    default: break;
  }
  Write(v);
}

// Element writes: forwarding variables pass them on, the others take index
// 0 as their scalar.
#define ORVA_SYS_AT(Name, Scalar, Type)            \
  void TParamSystem::Name(int i, Type x) {         \
    if (Forwards()) {                              \
      if (TCustomParam* f = Forward()) f->Name(i, x); \
      return;                                      \
    }                                              \
    if (IsArray()) return;                         \
    if (i != 0) ThrowBadIndex(i);                  \
    Scalar(x);                                     \
  }
ORVA_SYS_AT(SetIntAt, SetInt, int32_t)
ORVA_SYS_AT(SetFloatAt, SetFloat, Float)
ORVA_SYS_AT(SetFlagAt, SetFlag, bool)
ORVA_SYS_AT(SetStrAt, SetStr, const std::string&)
#undef ORVA_SYS_AT

#define ORVA_SYS_VOID(Decl, Call)                    \
  void TParamSystem::Decl {                          \
    if (Forwards())                                  \
      if (TCustomParam* f = Forward()) f->Call;      \
  }
ORVA_SYS_VOID(SetCount(int n), SetCount(n))
ORVA_SYS_VOID(SetDims(const Dims& d), SetDims(d))
ORVA_SYS_VOID(ClearDims(), ClearDims())
ORVA_SYS_VOID(FillInt(int32_t v), FillInt(v))
ORVA_SYS_VOID(FillFloat(Float x), FillFloat(x))
ORVA_SYS_VOID(FillFlag(bool b), FillFlag(b))
ORVA_SYS_VOID(FillStr(const std::string& s), FillStr(s))
ORVA_SYS_VOID(CopyMem(const TCustomParam& p), CopyMem(p))
#undef ORVA_SYS_VOID
#undef ORVA_SYS_GET
#undef ORVA_SYS_SET

int TParamSystem::GetDimCount() const {
  TCustomParam* f = Forwards() ? Forward() : nullptr;
  return f ? f->GetDimCount() : 1;
}

int TParamSystem::GetDim(int i) const {
  TCustomParam* f = Forwards() ? Forward() : nullptr;
  if (f) return f->GetDim(i);
  return 1;
}

int TParamSystem::IndexOfStr(const std::string& s, bool caseSensitive, bool partial) const {
  TCustomParam* f = Forwards() ? Forward() : nullptr;
  return f ? f->IndexOfStr(s, caseSensitive, partial) : TCustomParam::IndexOfStr(s, caseSensitive, partial);
}

}  // namespace orva
