#include "script/callman.h"

#include <algorithm>
#include <cstdio>

#include "common/cp932.h"
#include "common/errors.h"
#include "common/log.h"
#include "expr/paramcollection.h"
#include "expr/parser.h"
#include "expr/sysfuncs.h"
#include "objects/timerlists.h"

namespace orva {

namespace {

// Commands that never execute, whatever their disabled flag says.
bool AlwaysDisabled(const TCommand& c) {
  switch (c.TypeCode()) {
    case 27: case 61: case 62: case 63: return true;  // Comment, Ifdef, Ifndef, Endif
    default: return false;
  }
}

}  // namespace

TCallMan::TCallMan(Services services) : s_(std::move(services)), scratch_(std::make_unique<TStack>()) {}

TCallMan::~TCallMan() {
  current_ = nullptr;
  while (!pages_.empty()) {
    auto p = std::move(pages_.back());
    pages_.pop_back();
    FreePage(std::move(p));
  }
}

void TCallMan::FreePage(std::unique_ptr<TPage> page) {
  // Variables a page owns are named after it, behind the character 0x01.
  if (auto* item = s_.vars.FindVariable("\x01" + page->Name())) s_.vars.DeleteVariable(*item);
}

TPage* TCallMan::GetPage(const std::string& name, bool makeCurrent) {
  if (makeCurrent) index_ = 0;
  for (size_t i = 0; i < pages_.size(); ++i) {
    if (pages_[i]->Name() != name) continue;
    TPage* p = pages_[i].get();
    if (makeCurrent && i > 0) {
      auto owned = std::move(pages_[i]);
      pages_.erase(pages_.begin() + static_cast<std::ptrdiff_t>(i));
      pages_.insert(pages_.begin(), std::move(owned));
    }
    return p;
  }
  auto page = std::make_unique<TPage>(name);
  TMxMemoryStream bytes;
  s_.loadEntry(name, bytes);
  page->LoadFromStream(bytes);
  TPage* p = page.get();
  if (!makeCurrent) {
    pages_.push_back(std::move(page));
    return p;
  }
  pages_.insert(pages_.begin(), std::move(page));
  // Keep the cache to its size; the page now running is never freed.
  for (size_t i = pages_.size(); i-- > kPageCacheSize;) {
    if (pages_[i].get() == current_) continue;
    auto old = std::move(pages_[i]);
    pages_.erase(pages_.begin() + static_cast<std::ptrdiff_t>(i));
    FreePage(std::move(old));
  }
  return p;
}

void TCallMan::PushFrame(std::unique_ptr<TStack> frame) {
  stack_.push_back(std::move(frame));
  s_.vars.SetCurrentScope(FrameCount());
}

void TCallMan::RemoveFrame(int index) {
  if (index < 0 || index >= FrameCount()) return;
  stack_.erase(stack_.begin() + index);
}

void TCallMan::Start(const std::string& pageName) {
  current_ = GetPage(pageName, true);
  begun_ = false;
  args_.clear();
  state_ = 0;
  stack_.clear();
  s_.vars.SetCurrentScope(0);
  sender_ = nullptr;
  for (int32_t level = 1; level <= eventLevel_; ++level) s_.events.RemoveLevel(level);
  eventLevel_ = 2;
}

void TCallMan::Trace(const TPage& page, const TCommand& cmd, bool event) {
  if (!log::TraceEnabled()) return;
  char head[32];
  std::snprintf(head, sizeof head, "%.8x : ", static_cast<uint32_t>(s_.host.GameTime()));
  std::string line = head;
  if (event) line += "<Event>";
  line += cp932::ToUtf8(page.Name()) + "(" + std::to_string(cmd.lineNumber) + ")";
  log::TraceLine(line);
}

void TCallMan::Fail(const std::string& message, bool warn) {
  s_.host.SetTerminating(true);
  s_.host.SetFatalError();
  if (warn) {
    s_.host.ShowWarning(message);
    s_.host.RequestClose();
  } else {
    s_.host.ScriptError(message);
  }
}

const TCustomParam* TCallMan::Evaluate(TOrvaParser* expr) {
  if (!expr || expr->StepCount() == 0) return nullptr;
  expr->Execute(s_.vars, s_.funcs);
  return expr->Result();
}

bool TCallMan::Holds(TOrvaParser* expr) {
  const TCustomParam* v = Evaluate(expr);
  return v && v->GetFlag();
}

bool TCallMan::ExecuteOne() {
  TPage* page = current_;
  const int32_t i = index_;
  if (i < 0 || i >= page->Commands().Count()) {
    current_ = nullptr;
    return false;
  }
  TCommand& cmd = page->Commands().At(i);
  if (!(begun_ && lastTraced_ == &cmd)) Trace(*page, cmd, false);
  lastTraced_ = &cmd;
  if (!begun_) {
    if (cmd.Disabled() || AlwaysDisabled(cmd)) {
      index_ = i + 1;
      return false;
    }
    cmd.Begin(*this);
    begun_ = true;
  }
  runOn_ = cmd.RunOn();
  const bool yields = cmd.Yields();
  cmd.Execute(*this);
  if (current_ != page || index_ != i) begun_ = false;
  return yields;
}

void TCallMan::ReturnFromCall(TStack& frame) {
  if (!frame.resultVar.empty()) {
    if (TParamCollectionItem* target = s_.vars.FindVariable(frame.resultVar)) {
      if (frame.returnValue) {
        TCustomParam& to = *target->Value();
        const TCustomParam& from = *frame.returnValue;
        if (!from.GetDims().empty())
          TParamCollection::AssignValues(to, from);  // an array result keeps its shape
        else
          SetScalarAs(to, to.GetParamType(), from);
      }
    } else {
      std::string value = frame.returnValue ? frame.returnValue->GetStr() : std::string();
      RunStatement(frame.resultVar + " = " + QuoteStringLiteral(value), s_.vars, s_.funcs);
    }
  }
  // An event that started after the main script had finished returns to a
  // finished main script, not to a page called "".
  current_ = frame.pageName.empty() ? nullptr : GetPage(frame.pageName, true);
  index_ = frame.returnIndex;
  begun_ = frame.begun;
  runOn_ = frame.runOn;
  args_ = std::move(frame.args);
  sender_ = frame.sender;
  if (frame.savedState && begun_ && current_ && index_ >= 0 && index_ < current_->Commands().Count()) {
    frame.savedState->SetPosition(0);
    current_->Commands().At(index_).LoadState(*frame.savedState);
  }
}

template <class Fn>
bool TCallMan::Guarded(Fn&& fn) {
  try {
    fn();
    return true;
  } catch (const TPageRebuildError& e) {
    Fail(e.message(), true);
  } catch (const OrvaError& e) {
    Fail(e.message());
  }
  return false;
}

int TCallMan::Step() {
  if (!current_ || s_.host.Terminating()) return 0;
  bool yielded = false;
  if (!Guarded([&] { yielded = ExecuteOne(); })) return 0;
  if (s_.host.Terminating()) return 0;
  const int a = yielded ? 2 : 0;
  if (current_) return a;
  if (stack_.empty()) {
    runOn_ = false;  // the script has finished; events can still run
    return a;
  }
  const bool returned = Guarded([&] {
    s_.vars.FreeScope(FrameCount());
    scratch_ = std::move(stack_.back());
    stack_.pop_back();
    s_.vars.SetCurrentScope(FrameCount());
    ReturnFromCall(*scratch_);
  });
  if (!returned) return 0;
  // Only the return of an event's own frame ends a handler; a Call returning
  // inside a handler just goes on.
  if (!scratch_->isEvent) return a;
  if (!sender_) return 1;
  return a == 0 ? -1 : 2;
}

bool TCallMan::FireEvent(int32_t level) {
  if (begun_ && current_ && index_ >= 0 && index_ < current_->Commands().Count() &&
      current_->Commands().At(index_).BlocksEvents())
    return false;
  TTimerData* ev = s_.events.NextWaiting();
  if (!ev) return false;

  // "page.src:label": the label follows the last ":" after the last "." and "\".
  const std::string& ref = ev->page;
  size_t lastDot = std::string::npos, lastSlash = std::string::npos, colon = std::string::npos;
  for (size_t i = 0; i < ref.size(); i += cp932::CharLength(ref, i)) {
    if (ref[i] == '.') lastDot = i;
    else if (ref[i] == '\\') lastSlash = i;
    else if (ref[i] == ':') colon = i;
  }
  std::string pageName = ref, label;
  if (colon != std::string::npos && (lastDot == std::string::npos || colon > lastDot) &&
      (lastSlash == std::string::npos || colon > lastSlash)) {
    pageName = ref.substr(0, colon);
    label = ref.substr(colon + 1);
  }
  // Event references name the source file; the compiled page is ".osb".
  if (pageName.size() >= 3) pageName.replace(pageName.size() - 3, 3, "osb");

  if (!s_.canReach(pageName)) {
    // A page that cannot be reached would hold up every later event for the
    // rest of the game: drop this one and say so.
    log::TraceLine("<Event dropped: " + cp932::ToUtf8(pageName) + " cannot be reached>");
    log::Warning("event page " + cp932::ToUtf8(pageName) + " cannot be reached; the event is dropped");
    s_.events.Remove(ev);
    return false;
  }

  auto frame = std::make_unique<TStack>();
  frame->pageName = current_ ? current_->Name() : std::string();
  frame->returnIndex = index_;
  frame->begun = begun_;
  frame->args = args_;
  frame->sender = sender_;
  frame->runOn = runOn_;
  frame->isEvent = true;
  if (begun_ && current_ && index_ >= 0 && index_ < current_->Commands().Count()) {
    frame->savedState = std::make_unique<TMxMemoryStream>();
    current_->Commands().At(index_).SaveState(*frame->savedState);
  }
  PushFrame(std::move(frame));
  if (!Guarded([&] { current_ = GetPage(pageName, true); })) return false;
  index_ = 0;
  if (!label.empty()) {
    for (int i = 0; i < current_->Commands().Count(); ++i)
      if (current_->Commands().At(i).IsLabel(label)) {
        index_ = i;
        break;
      }
  }
  if (current_->Commands().Count() > 0 && log::TraceEnabled()) {
    const TCommand& first = current_->Commands().At(std::min(index_, current_->Commands().Count() - 1));
    Trace(*current_, first, true);
  }
  begun_ = false;
  ev->level = level;
  args_ = ev->args;
  sender_ = ev->object;
  state_ = 1;
  return true;
}

void TCallMan::Run() {
  IScriptHost& host = s_.host;
  while (!host.Terminating()) {
    switch (state_) {
      case 0:
        if (FireEvent(1)) break;
        if (!current_) {
          runOn_ = false;  // finished main script, no event waiting: the tick is over
          break;
        }
        Step();
        break;
      case 1: {
        const int r = Step();
        if (r == 1) {
          s_.events.RemoveLevel(1);
          state_ = 0;
          runOn_ = true;
        } else if (r == 2) {
          eventLevel_ = 2;
          state_ = 2;
          return;
        } else if (state_ != 1) {
          runOn_ = true;  // a reset changed the state
        }
        break;
      }
      case 2:
        if (FireEvent(eventLevel_)) {
          ++eventLevel_;
          state_ = 3;
        } else {
          state_ = eventLevel_ > 2 ? 3 : 1;
        }
        break;
      case 3: {
        const int r = Step();
        if (r == 1 || r == -1) {
          --eventLevel_;
          s_.events.RemoveLevel(eventLevel_);
          if (eventLevel_ <= 2) state_ = 2;
        } else if (r == 2) {
          state_ = 2;
          return;
        }
        break;
      }
      default:
        state_ = 0;
        break;
    }
    if (!runOn_ && state_ == 0) return;
  }
}

TCustomParam* TCallMan::CallResult() {
  return stack_.empty() ? nullptr : stack_.back()->returnValue.get();
}

std::string TCallMan::ParamStr(int index) const {
  return (index >= 0 && index < static_cast<int>(args_.size())) ? args_[static_cast<size_t>(index)] : std::string();
}

std::string TCallMan::SenderName() const { return sender_ ? s_.host.ObjectName(sender_) : std::string(); }

// ---------------------------------------------------------------- saved state

void TCallMan::WriteFrame(TStream& out, const TStack& f, IScriptHost& host) {
  out.WriteString(f.pageName);
  out.WriteInt32(f.returnIndex);
  out.WriteBool(f.begun);
  out.WriteBool(f.runOn);
  out.WriteString(f.resultVar);
  out.WriteStringList(f.args);
  out.WriteString(f.sender ? host.ObjectName(f.sender) : std::string());
  if (f.savedState) {
    out.WriteInt32(static_cast<int32_t>(f.savedState->GetSize()));
    out.WriteBytes(f.savedState->AsString());
  } else {
    out.WriteInt32(0);
  }
  if (f.returnValue) {
    out.WriteByte(static_cast<uint8_t>(f.returnValue->GetParamType()));
    f.returnValue->SaveToStream(out);
  } else {
    out.WriteByte(0);
  }
}

std::unique_ptr<TStack> TCallMan::ReadFrame(TStream& in) {
  auto f = std::make_unique<TStack>();
  f->pageName = in.ReadString();
  f->returnIndex = in.ReadInt32();
  f->begun = in.ReadBool();
  f->runOn = in.ReadBool();
  f->resultVar = in.ReadString();
  f->args = in.ReadStringList();
  std::string sender = in.ReadString();
  f->sender = sender.empty() ? nullptr : s_.host.FindObject(sender);
  int32_t size = in.ReadInt32();
  if (size < 0 || size > in.Remaining()) throw OrvaError::Utf8("call state is damaged (running state size)");
  if (size > 0) {
    f->savedState = std::make_unique<TMxMemoryStream>();
    f->savedState->SetSize(size);
    in.ReadExact(f->savedState->Memory(), size);
  }
  uint8_t type = in.ReadByte();
  if (type != 0) {
    f->returnValue = CreateParam(type);
    if (!f->returnValue) throw OrvaError::Utf8("call state is damaged (return value type)");
    f->returnValue->LoadFromStream(in);
  }
  return f;
}

void TCallMan::SaveState(TStream& out) const {
  out.WriteString(current_ ? current_->Name() : std::string());
  out.WriteInt32(index_);
  out.WriteBool(runOn_);
  out.WriteBool(begun_);
  out.WriteInt32(state_);
  out.WriteString(sender_ ? s_.host.ObjectName(sender_) : std::string());
  out.WriteStringList(args_);
  WriteFrame(out, *scratch_, s_.host);
  out.WriteInt32(static_cast<int32_t>(stack_.size()));
  for (const auto& f : stack_) WriteFrame(out, *f, s_.host);
  out.WriteInt32(eventLevel_);
  if (begun_ && current_ && index_ >= 0 && index_ < current_->Commands().Count())
    current_->Commands().At(index_).SaveState(out);
}

void TCallMan::LoadState(TStream& in, int version) {
  std::string page = in.ReadString();
  int32_t index = in.ReadInt32();
  bool runOn = in.ReadBool();
  bool begun = in.ReadBool();
  int32_t state = in.ReadInt32();
  if (state < 0 || state > 3) throw OrvaError::Utf8("call state is damaged (state)");
  std::string sender = in.ReadString();
  std::vector<std::string> args = in.ReadStringList();
  auto scratch = ReadFrame(in);
  int32_t count = in.ReadCount(4 + 4 + 1 + 1 + 4 + 4 + 4 + 4 + 1);
  std::vector<std::unique_ptr<TStack>> frames;
  for (int32_t i = 0; i < count; ++i) frames.push_back(ReadFrame(in));
  int32_t level = version >= 116 ? in.ReadInt32() : 2;

  // Which frames were pushed by events is not stored: a frame whose
  // context above it runs for another sender (or after the main script
  // finished) was an event's.
  TOrvaObject* senderNow = sender.empty() ? nullptr : s_.host.FindObject(sender);
  for (size_t i = frames.size(); i-- > 0;) {
    TOrvaObject* above = i + 1 < frames.size() ? frames[i + 1]->sender : senderNow;
    frames[i]->isEvent = frames[i]->pageName.empty() || above != frames[i]->sender;
  }

  current_ = page.empty() ? nullptr : GetPage(page, true);
  index_ = index;
  runOn_ = runOn;
  begun_ = begun;
  state_ = state;
  sender_ = senderNow;
  args_ = std::move(args);
  scratch_ = std::move(scratch);
  stack_ = std::move(frames);
  eventLevel_ = level;
  s_.vars.SetCurrentScope(FrameCount());
  if (begun_ && current_ && index_ >= 0 && index_ < current_->Commands().Count())
    current_->Commands().At(index_).LoadState(in);
}

}  // namespace orva
